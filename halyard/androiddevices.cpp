#include "androiddevices.h"

namespace hy {
namespace {

struct vid_pid
{
    uint16_t vendor;
    uint16_t product;
};

// Google's debug and bootloader interfaces of its reference phones.
const vid_pid android_devices[] = {
    {0x18D1, 0x4E11}, {0x18D1, 0x4E12}, {0x18D1, 0x4E22}, {0x18D1, 0x4E42},
    {0x18D1, 0x4EE0}, {0x18D1, 0x4EE2}, {0x18D1, 0x4EE4}, {0x18D1, 0x4EE6},
    {0x18D1, 0x4EE7}, {0x18D1, 0xD001}, {0x18D1, 0xD002}, {0x18D1, 0xD00D},
};

} // namespace

bool is_android_device(uint16_t vendorId, uint16_t productId)
{
    for (const vid_pid &d : android_devices) {
        if (d.vendor == vendorId && d.product == productId)
            return true;
    }
    return false;
}

} // namespace hy
