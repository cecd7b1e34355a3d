// The Windows version value (major x 16 + minor) and its thresholds.
#pragma once

#include <functional>

namespace hy {

constexpr int WINDOWS_7 = 0x61;
constexpr int WINDOWS_10 = 0xA0;
constexpr int WINDOWS_11 = 0xB0;

// GetVersionExA under-reports from Windows 8.1 on; asks the two predicates (VerifyVersionInfo
// with VER_EQUAL) for the real major and minor, starting from the reported ones.
void correct_reported_version(unsigned &major, unsigned &minor,
                              const std::function<bool(unsigned)> &majorIs,
                              const std::function<bool(unsigned)> &minorIs);
// major x 16 + minor; -1 when either exceeds 15; Windows 11 (build 20000 on) reads 0xB0; values
// of 0x50 and below read 0.
int windows_version_value(unsigned major, unsigned minor, unsigned build);

} // namespace hy
