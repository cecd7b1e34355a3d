#include "deviceid.h"

#include <cstring>
#include <string>

namespace hy {
namespace {

// Reads up to maxDigits hex digits right after the prefix, as "%0NX" does.
bool parse_hex(const std::string &token, size_t prefix, size_t maxDigits, unsigned &value)
{
    value = 0;
    size_t digits = 0;
    for (size_t i = prefix; i < token.size() && digits < maxDigits; i++, digits++) {
        char c = token[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        value = value * 16 + d;
    }
    return digits > 0;
}

void read_token(const std::string &token, device_id_tokens &ids)
{
    unsigned value;
    if (token.compare(0, 4, "VID_") == 0) {
        ids.has_vendor_id = true;
        ids.vendor_id_bad = !parse_hex(token, 4, 4, value);
        if (!ids.vendor_id_bad)
            ids.vendor_id = static_cast<uint16_t>(value);
    } else if (token.compare(0, 4, "PID_") == 0) {
        ids.product_id_bad = !parse_hex(token, 4, 4, value);
        if (!ids.product_id_bad)
            ids.product_id = static_cast<uint16_t>(value);
    } else if (token.compare(0, 3, "MI_") == 0) {
        ids.interface_bad = !parse_hex(token, 3, 2, value);
        if (!ids.interface_bad) {
            ids.is_interface = true;
            ids.interface_number = static_cast<uint8_t>(value);
        }
    }
}

} // namespace

device_id_tokens parse_device_id(const char *deviceId)
{
    device_id_tokens ids;
    if (deviceId == nullptr)
        return ids;
    std::string token;
    for (const char *p = deviceId;; p++) {
        if (*p == '\0' || std::strchr("\\#&", *p) != nullptr) {
            read_token(token, ids);
            token.clear();
            if (*p == '\0')
                break;
        } else {
            token += *p;
        }
    }
    return ids;
}

} // namespace hy
