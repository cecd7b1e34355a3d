#include "driverversion.h"

#include <cstdlib>

namespace hy {

uint64_t fold_driver_version(const char *text)
{
    uint64_t version = 0;
    if (text == nullptr)
        return version;
    const char *part = text;
    for (;;) {
        version = (version << 16) + std::strtoull(part, nullptr, 10);
        while (*part != '\0' && *part != '.')
            part++;
        if (*part == '\0')
            break;
        part++;
    }
    return version;
}

} // namespace hy
