#include "resolve_win.h"

#include "diaglog_win.h"
#include "hy_types.h"

namespace hy {

FARPROC resolve_system_proc(const char *library, const char *function)
{
    HMODULE module = LoadLibraryA(library);
    if (module == nullptr)
        module = GetModuleHandleA(library);
    if (module == nullptr)
        module = LoadLibraryA(library);
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
