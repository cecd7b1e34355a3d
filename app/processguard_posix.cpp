#include "processguard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace {

// One lock file per user; the lock lives exactly as long as the process holding it.
std::string markerPath()
{
    const char *runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtimeDir && *runtimeDir ? runtimeDir : "/tmp";
    return folder + "/AmperlaneUniqueAppIdentifier-" + std::to_string(getuid()) + ".lock";
}

} // namespace

bool claimInstanceMarker()
{
    // Close-on-exec keeps processes the program starts (NUT, the launcher) from inheriting the
    // lock and holding it after the program has ended. The descriptor is never closed.
    const int fd = open(markerPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true;
    return flock(fd, LOCK_EX | LOCK_NB) == 0;
}

bool instanceMarkerHeld()
{
    const int fd = open(markerPath().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

// On Linux the program needs no administrator rights: the NUT tools run as the user and the
// serial port is reached through the user's groups.
void ensureElevated() {}
