#include "logline.h"

#include <cstdio>

namespace hy {

const char *level_name(int level)
{
    static const char *const names[] = {"debug", "info", "warning", "error"};
    return level >= 0 && level <= 3 ? names[level] : "unknown";
}

std::string log_line_prefix(int level, int64_t unixSeconds, const char *operation)
{
    char prefix[512];
    snprintf(prefix, sizeof prefix, "[%s] [%lld] [%s] ", level_name(level),
             static_cast<long long>(unixSeconds), operation ? operation : "");
    return prefix;
}

std::string log_file_name(int year, int month, int day)
{
    char name[64];
    snprintf(name, sizeof name, "%s\\log_%04d_%02d_%02d.txt", LOG_FOLDER, year, month, day);
    return name;
}

} // namespace hy
