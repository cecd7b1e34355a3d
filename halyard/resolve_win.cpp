#include "resolve_win.h"

#include "diaglog_win.h"
#include "hy_types.h"

#include <cstdio>
#include <cstring>

namespace hy {

FARPROC resolve_system_proc(const char *library, const char *function)
{
    // From the system folder only: the generator runs elevated, and a DLL of the same name in the
    // program's folder, the current folder or the PATH would run with its rights.
    HMODULE module = LoadLibraryExA(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        // Windows 7 without update KB2533623 knows no search flags; a full path says the same.
        char folder[MAX_PATH];
        UINT n = GetSystemDirectoryA(folder, MAX_PATH);
        char path[MAX_PATH];
        if (n > 0 && n < MAX_PATH &&
            snprintf(path, sizeof path, "%s\\%s%s", folder, library,
                     strchr(library, '.') ? "" : ".dll") < static_cast<int>(sizeof path))
            module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module == nullptr ? nullptr : GetProcAddress(module, function);
}

proc_resolver resolve_proc = resolve_system_proc;

FARPROC resolve_or_log(const char *operation, const char *library, const char *function)
{
    FARPROC proc = resolve_proc(library, function);
    if (proc == nullptr)
        writeLog(HY_ERROR, operation, "Unable to locate %s() in %s\n", function, library);
    return proc;
}

} // namespace hy
