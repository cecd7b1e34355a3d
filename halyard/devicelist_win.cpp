#include "devicelist_win.h"

#include "devicedescription.h"
#include "deviceid.h"
#include "diaglog_win.h"
#include "driverversion.h"
#include "opguard_win.h"
#include "resolve_win.h"
#include "utf.h"
#include "winversion.h"
#include "winversion_win.h"

#include <devpropdef.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace hy {
namespace {

const char *const LIST = "hy_create_list";

const char *const hub_services[] = {"usbhub",   "usbhub3",  "usb3hub",   "nusb3hub", "rusb3hub",
                                    "flxhcih",  "tihub3",   "etronhub3", "viahub3",  "asmthub3",
                                    "iusb3hub", "vusb3hub", "amdhub30",  "vhhub"};

const DEVPROPKEY bus_reported_device_desc = {
    {0x540b947e, 0x8b40, 0x45bc, {0xa8, 0xa2, 0x6a, 0x0b, 0x89, 0x4c, 0xbd, 0xa2}}, 4};

bool is_hub_service(const char *service)
{
    for (const char *hub : hub_services) {
        if (_stricmp(service, hub) == 0)
            return true;
    }
    return false;
}

char *copy_of(const char *text)
{
    return text == nullptr ? nullptr : _strdup(text);
}

void free_record(device_record *r)
{
    free(r->description);
    free(r->driver_name);
    free(r->device_id);
    free(r->hardware_id);
    free(r->compatible_id);
    free(r->upper_filter);
    free(r);
}

void free_records(device_record *list)
{
    while (list != nullptr) {
        device_record *next = list->next;
        free_record(list);
        list = next;
    }
}

// One node's walk through the list rules; false leaves the node out.
class node_reader
{
public:
    node_reader(HDEVINFO set, SP_DEVINFO_DATA &dev, DWORD index, const list_options &options,
                const device_list_calls &calls, int &unknownCounter)
        : set_(set), dev_(dev), index_(index), options_(options), calls_(calls),
          unknownCounter_(unknownCounter)
    {
    }

    bool read(device_record *r)
    {
        char version[24] = {};
        if (read_string_property(SPDRP_DRIVER, buffer_, 256)) {
            if (!options_.list_all_devices)
                return false;
            read_driver_version(version);
        }
        if (read_string_property(SPDRP_SERVICE, buffer_, 256))
            r->driver_name = copy_of(buffer_);
        bool isHub = is_hub_service(buffer_);
        bool isCompositeParent = _stricmp(buffer_, "usbccgp") == 0;
        if ((isHub || isCompositeParent) && !options_.list_hubs)
            return false;
        read_ids(r);
        read_driver_version_into(r, version);
        if (!read_device_id(r))
            return false;
        std::u16string description = read_description();
        device_id_tokens ids = parse_device_id(r->device_id);
        take_ids(r, ids, description);
        if (isHub && !ids.has_vendor_id)
            return false;
        if (isCompositeParent)
            append_composite_parent_suffix(description);
        set_description(r, description);
        writeLog(HY_DEBUG, LIST, "Device description: '%s'", r->description ? r->description : "");
        return true;
    }

private:
    // The first string of a string or multi-string property, or false when unreadable.
    bool read_string_property(DWORD property, char *buffer, DWORD size)
    {
        memset(buffer, 0, size);
        return calls_.get_registry_property(set_, &dev_, property, nullptr,
                                            reinterpret_cast<BYTE *>(buffer), size - 2,
                                            nullptr) != FALSE;
    }

    void read_driver_version(char (&version)[24])
    {
        HKEY key = calls_.open_driver_key(set_, &dev_, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            return;
        DWORD size = sizeof version - 1;
        DWORD type = 0;
        if (calls_.query_value(key, "DriverVersion", nullptr, &type,
                               reinterpret_cast<BYTE *>(version), &size) != ERROR_SUCCESS)
            version[0] = '\0';
        calls_.close_key(key);
    }

    void read_ids(device_record *r)
    {
        char ids[1024];
        if (read_string_property(SPDRP_HARDWAREID, ids, sizeof ids)) {
            writeLog(HY_DEBUG, LIST, "Hardware ID: %s", ids);
        } else {
            writeLog(HY_ERROR, LIST, "Could not get hardware ID");
            ids[0] = '\0';
        }
        r->hardware_id = copy_of(ids);
        if (read_string_property(SPDRP_COMPATIBLEIDS, ids, sizeof ids))
            writeLog(HY_DEBUG, LIST, "Compatible ID: %s", ids);
        else
            ids[0] = '\0';
        r->compatible_id = copy_of(ids);
        if (read_string_property(SPDRP_UPPERFILTERS, ids, sizeof ids)) {
            writeLog(HY_DEBUG, LIST, "Upper filter: %s", ids);
            r->upper_filter = copy_of(ids);
        }
    }

    void read_driver_version_into(device_record *r, const char *version)
    {
        r->driver_version = 0;
        if (version[0] != '\0') {
            writeLog(HY_DEBUG, LIST, "Driver version: %s", version);
            r->driver_version = fold_driver_version(version);
        } else if (r->driver_name != nullptr) {
            writeLog(HY_WARNING, LIST, "Could not read driver version");
        }
    }

    bool read_device_id(device_record *r)
    {
        CONFIGRET cr = calls_.get_device_id(dev_.DevInst, buffer_, 256, 0);
        if (cr != CR_SUCCESS) {
            writeLog(HY_ERROR, LIST, "Could not retrieve simple path for device %d: CR error %d",
                     static_cast<int>(index_), static_cast<int>(cr));
            return false;
        }
        writeLog(HY_DEBUG, LIST, "%s USB device (%d): %s",
                 r->driver_name ? r->driver_name : "Driverless", static_cast<int>(index_), buffer_);
        r->device_id = copy_of(buffer_);
        return true;
    }

    std::u16string read_description()
    {
        wchar_t text[DESCRIPTION_CHARS] = {};
        DEVPROPTYPE type = 0;
        BOOL ok =
            calls_.get_device_property(set_, &dev_, &bus_reported_device_desc, &type,
                                       reinterpret_cast<BYTE *>(text), sizeof text - 2, nullptr, 0);
        if (!ok) {
            memset(text, 0, sizeof text);
            ok = calls_.get_registry_property_w(set_, &dev_, SPDRP_DEVICEDESC, nullptr,
                                                reinterpret_cast<BYTE *>(text), sizeof text - 2,
                                                nullptr);
        }
        if (!ok || text[0] == L'\0') {
            writeLog(HY_DEBUG, LIST, "Could not read device description for %d: %s",
                     static_cast<int>(index_), formatWindowsError(0));
            return unknown_device_description(unknownCounter_++);
        }
        return std::u16string(reinterpret_cast<const char16_t *>(text));
    }

    void take_ids(device_record *r, const device_id_tokens &ids, std::u16string &description)
    {
        if (ids.vendor_id_bad)
            writeLog(HY_ERROR, LIST, "Could not convert VID string");
        if (ids.product_id_bad)
            writeLog(HY_ERROR, LIST, "Could not convert PID string");
        if (ids.interface_bad)
            writeLog(HY_ERROR, LIST, "Could not convert MI string");
        r->vendor_id = ids.vendor_id;
        r->product_id = ids.product_id;
        r->is_interface = ids.is_interface;
        r->interface_number = ids.interface_number;
        if (ids.is_interface)
            append_interface_suffix(description, ids.interface_number);
    }

    void set_description(device_record *r, const std::u16string &description)
    {
        std::string utf8;
        if (!utf16_to_utf8(description, utf8))
            return;
        if (options_.trim_whitespace)
            trim_trailing_whitespace(utf8);
        r->description = copy_of(utf8.c_str());
    }

    HDEVINFO set_;
    SP_DEVINFO_DATA &dev_;
    DWORD index_;
    const list_options &options_;
    const device_list_calls &calls_;
    int &unknownCounter_;
    char buffer_[256] = {};
};

} // namespace

const device_list_calls setupapi_calls = {
    SetupDiGetClassDevsA,
    SetupDiEnumDeviceInfo,
    SetupDiGetDeviceRegistryPropertyA,
    SetupDiGetDeviceRegistryPropertyW,
    SetupDiGetDevicePropertyW,
    SetupDiOpenDevRegKey,
    RegQueryValueExA,
    RegCloseKey,
    SetupDiDestroyDeviceInfoList,
    nullptr,
};

int hy_create_list(device_record **list, const list_options *options,
                   const device_list_calls &systemCalls)
{
    operation_guard guard(LIST);
    if (guard.result() != HY_SUCCESS)
        return guard.result();
    if (windows_version() < WINDOWS_7) {
        writeLog(HY_ERROR, LIST, "This version of Windows is no longer supported");
        return HY_ERROR_NOT_SUPPORTED;
    }
    if (list == nullptr)
        return HY_ERROR_INVALID_PARAM;
    *list = nullptr;
    const list_options opts = options ? *options : list_options{};

    device_list_calls calls = systemCalls;
    if (calls.get_device_id == nullptr &&
        !resolve_into(calls.get_device_id, LIST, "Cfgmgr32", "CM_Get_Device_IDA"))
        return HY_ERROR_RESOURCE;

    HDEVINFO set = calls.get_class_devs(nullptr, "USB", nullptr, DIGCF_PRESENT | DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE)
        return HY_ERROR_NO_DEVICE;

    device_record *head = nullptr;
    device_record **tail = &head;
    int unknownCounter = 1;
    SP_DEVINFO_DATA dev = {};
    dev.cbSize = sizeof dev;
    for (DWORD index = 0; calls.enum_device_info(set, index, &dev); index++) {
        auto *record = static_cast<device_record *>(calloc(1, sizeof(device_record)));
        if (record == nullptr) {
            free_records(head);
            calls.destroy_device_info_list(set);
            return HY_ERROR_RESOURCE;
        }
        node_reader reader(set, dev, index, opts, calls, unknownCounter);
        if (!reader.read(record)) {
            free_record(record);
            continue;
        }
        *tail = record;
        tail = &record->next;
    }
    calls.destroy_device_info_list(set);
    if (head == nullptr)
        return HY_ERROR_NO_DEVICE;
    *list = head;
    return HY_SUCCESS;
}

int hy_destroy_list(device_record *list)
{
    // The records belong to this process, so another process's listing is no reason to keep
    // them: a caller told "busy" would leak the list (the export does not retry), and one that
    // retried after they were freed would free them twice.
    operation_guard guard("hy_destroy_list");
    free_records(list);
    return HY_SUCCESS;
}

} // namespace hy
