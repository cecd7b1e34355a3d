// The generator's diagnostic log ("log\log_YYYY_MM_DD.txt" below the current directory) and
// the texts of Windows error codes.
#pragma once

#include <windows.h>

namespace hy {

void writeLog(int level, const char *operation, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// "[0x%08lX] <system text>"; code 0 means the thread's last error, which is kept as it was.
// The text lives in a static buffer that the next call overwrites.
const char *formatWindowsError(DWORD code);

} // namespace hy
