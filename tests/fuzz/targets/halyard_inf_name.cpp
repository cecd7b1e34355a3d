// The INF file name made from a device description: whatever the description holds, the name
// carries no path separator, no character a file name cannot hold and no blank.

#include "fuzzsupport.h"
#include "infname.h"

#include <cstdint>
#include <cstring>
#include <string>

FUZZ_QUIET_QT_MESSAGES

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string input(reinterpret_cast<const char *>(data), size);
    const size_t cut = input.find('\0');
    const std::string name = input.substr(0, cut);
    const std::string extension = cut == std::string::npos ? ".inf" : input.substr(cut + 1);

    std::string out;
    if (!hy::derive_inf_name(name.c_str(), extension.c_str(), out))
        return 0;
    for (const char c : out) {
        const auto u = static_cast<unsigned char>(c);
        FUZZ_CHECK(u >= 0x20 && u != 0x7F);
        FUZZ_CHECK(std::strchr("\"*/:<>?\\|, \t", c) == nullptr);
    }
    return 0;
}
