#include "winversion.h"

namespace hy {

void correct_reported_version(unsigned &major, unsigned &minor,
                              const std::function<bool(unsigned)> &majorIs,
                              const std::function<bool(unsigned)> &minorIs)
{
    for (unsigned i = major; i <= 9; i++) {
        if (!majorIs(i))
            continue;
        if (i > major)
            minor = 0;
        major = i;
        for (unsigned j = minor; j <= 9; j++) {
            if (minorIs(j)) {
                minor = j;
                break;
            }
        }
        return;
    }
}

int windows_version_value(unsigned major, unsigned minor, unsigned build)
{
    if (major > 15 || minor > 15)
        return -1;
    int value = static_cast<int>(major * 16 + minor);
    if (value == WINDOWS_10 && build >= 20000)
        value = WINDOWS_11;
    if (value <= 0x50)
        value = 0;
    return value;
}

} // namespace hy
