// The diagnostic log's file name and line prefix.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

constexpr const char *LOG_FOLDER = "log";

const char *level_name(int level);
// "[level] [seconds since 1970] [operation] "
std::string log_line_prefix(int level, int64_t unixSeconds, const char *operation);
// "log\log_YYYY_MM_DD.txt"
std::string log_file_name(int year, int month, int day);

} // namespace hy
