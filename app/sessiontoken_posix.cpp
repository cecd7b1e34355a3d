#include "sessiontokenfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

bool writeUserOnlyFile(const std::string &path, const std::string &content)
{
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        return false;
    // O_EXCL: a link planted between the removal and the creation is not followed either.
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    const bool written =
        write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    return close(fd) == 0 && written;
}
