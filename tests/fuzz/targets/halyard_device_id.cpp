// Device instance paths as the device list reads them from the system.

#include "deviceid.h"
#include "fuzzsupport.h"

#include <cstdint>
#include <string>

FUZZ_QUIET_QT_MESSAGES

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string id(reinterpret_cast<const char *>(data), size);
    const hy::device_id_tokens tokens = hy::parse_device_id(id.c_str());
    if (!tokens.has_vendor_id)
        FUZZ_CHECK(tokens.vendor_id == 0 && !tokens.vendor_id_bad);
    if (!tokens.is_interface)
        FUZZ_CHECK(tokens.interface_number == 0);
    return 0;
}
