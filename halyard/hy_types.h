// The records, options and result codes that every generator operation shares.
#pragma once

#include <cstdint>

namespace hy {

enum result : int {
    HY_SUCCESS = 0,
    HY_ERROR_INVALID_PARAM = -2,
    HY_ERROR_ACCESS = -3,
    HY_ERROR_NO_DEVICE = -4,
    HY_ERROR_NOT_FOUND = -5,
    HY_ERROR_BUSY = -6,
    HY_ERROR_RESOURCE = -11,
    HY_ERROR_NOT_SUPPORTED = -12,
    HY_ERROR_CAT_MISSING = -18,
    HY_ERROR_UNSIGNED = -19,
    HY_ERROR_OTHER = -99,
};

enum log_level : int { HY_DEBUG = 0, HY_INFO = 1, HY_WARNING = 2, HY_ERROR = 3 };

enum driver_type : int {
    HY_WINUSB = 0,
    HY_LIBUSB0 = 1,
    HY_LIBUSBK = 2,
    HY_CDC = 3,
    HY_USER = 4,
    HY_DRIVER_TYPE_COUNT = 5,
};

// One present USB device node. description is UTF-8, the other strings are in the ANSI code page.
struct device_record
{
    device_record *next;
    uint16_t vendor_id;
    uint16_t product_id;
    int32_t is_interface;
    uint8_t interface_number;
    char *description;
    char *driver_name;
    char *device_id;
    char *hardware_id;
    char *compatible_id;
    char *upper_filter;
    uint64_t driver_version;
};

struct list_options
{
    int32_t list_all_devices;
    int32_t list_hubs;
    int32_t trim_whitespace;
};

struct prepare_options
{
    int driver_type;
    char *vendor_name;
    char *interface_guid;
    int32_t disable_catalog;
    int32_t disable_signing;
    char *certificate_subject;
    int32_t use_generic_driver;
    int32_t external_inf;
};

} // namespace hy
