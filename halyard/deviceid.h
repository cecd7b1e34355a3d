// The identifiers that a USB device instance path carries ("USB\VID_3746&PID_0001&MI_01\...").
#pragma once

#include <cstdint>

namespace hy {

struct device_id_tokens
{
    bool has_vendor_id = false; // a "VID_" token was seen, even one that did not parse
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    bool is_interface = false;
    uint8_t interface_number = 0;
    bool vendor_id_bad = false;
    bool product_id_bad = false;
    bool interface_bad = false;
};

// Splits at "\", "#" and "&" and reads the tokens "VID_" (4 hex digits), "PID_" (4) and "MI_" (2).
// A "MI_" token that does not parse leaves the node a non-interface.
device_id_tokens parse_device_id(const char *deviceId);

} // namespace hy
