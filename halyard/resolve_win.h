// Binding system functions at run time by library and function name.
#pragma once

#include <windows.h>

namespace hy {

// Finds a function; the default loads the library from the system folder. Tests replace it to
// stand in for system functions that the platform only stubs.
using proc_resolver = FARPROC (*)(const char *library, const char *function);
extern proc_resolver resolve_proc;

FARPROC resolve_system_proc(const char *library, const char *function);

// resolve_proc, logging the error "Unable to locate %s() in %s\n" under operation when missing.
FARPROC resolve_or_log(const char *operation, const char *library, const char *function);

template <typename F>
bool resolve_into(F &target, const char *operation, const char *library, const char *function)
{
    target =
        reinterpret_cast<F>(reinterpret_cast<void *>(resolve_or_log(operation, library, function)));
    return target != nullptr;
}

} // namespace hy

// Declares p<name> with the system declaration's type and binds it, or evaluates to false.
#define HY_BIND(op, lib, name) hy::resolve_into(p##name, op, lib, #name)
#define HY_PROC(name) decltype(&name) p##name = nullptr
