#include "exportwalk.h"

#include "infname.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace hy {
namespace {

const char *or_null_text(const char *text)
{
    return text ? text : "<NULL>";
}

void log_formatted(const export_log_fn &log, const char *format, ...)
{
    char message[EXPORT_MESSAGE_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(message, sizeof message, format, args);
    va_end(args);
    log(message);
}

// The driver that serves an interface once installed: WinUSB on 00, usbser on 01.
const char *served_by(uint8_t mi)
{
    return mi == 0 ? "WinUSB" : "usbser";
}

} // namespace

int walk_for_interface(device_record *list, const char *interfaceNumber, const export_log_fn &log,
                       const export_prepare_fn &prepare)
{
    const char *wanted = or_null_text(interfaceNumber);
    for (device_record *r = list; r != nullptr; r = r->next) {
        if (r->vendor_id != STATION_VENDOR_ID || !r->is_interface)
            continue;
        uint8_t mi = r->interface_number;
        if (mi != 0 && mi != 1) {
            log_formatted(log, "unknown composite device interface[%d]", mi);
            return HY_ERROR_OTHER;
        }
        if (strcmp(wanted, "00") != 0 && strcmp(wanted, "01") != 0) {
            log("Can not find 0x3746 Interface");
            return HY_ERROR_NOT_FOUND;
        }
        if ((wanted[1] == '0') != (mi == 0))
            continue;
        if (strcmp(or_null_text(r->driver_name), served_by(mi)) == 0)
            return HY_SUCCESS;

        log_formatted(log, "generate %s Driver...", or_null_text(r->description));
        std::string infName;
        bool derived = derive_inf_name(r->description, ".inf", infName);
        if (!derived) {
            bool tooLong =
                r->description != nullptr && strlen(r->description) > INF_NAME_MAX_DESCRIPTION;
            log_formatted(log, "'%s' is %s for a device name", or_null_text(r->description),
                          tooLong ? "too long" : "invalid");
        }
        int result = prepare(r, derived ? infName.c_str() : nullptr, mi == 0 ? HY_WINUSB : HY_CDC);
        if (result != HY_SUCCESS)
            log("generate driver failed");
        return result;
    }
    return HY_SUCCESS;
}

} // namespace hy
