#pragma once

#include <cstdint>

namespace hy {

// The name of a USB vendor from the public vendor ID list, or nullptr when it is not listed.
const char *usb_vendor_name(uint16_t vendorId);

} // namespace hy
