// The INF file name that a device description gives.
#pragma once

#include <string>

namespace hy {

constexpr size_t INF_NAME_MAX_DESCRIPTION = 200;

// Drops control characters and " * / : < > ? \ | , from name + extension and turns blanks and
// tabs into "_". Fails (false) for a missing name, one longer than 200 bytes, or invalid UTF-8.
bool derive_inf_name(const char *name, const char *extension, std::string &out);

} // namespace hy
