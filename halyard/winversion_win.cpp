#include "winversion_win.h"

#include "diaglog_win.h"
#include "hy_types.h"
#include "resolve_win.h"
#include "winversion.h"

#include <windows.h>

namespace hy {

int windowsVersion = -1;

namespace {

bool version_part_equals(DWORD typeMask, DWORD value)
{
    OSVERSIONINFOEXA wanted = {};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    if (typeMask == VER_MAJORVERSION)
        wanted.dwMajorVersion = value;
    else
        wanted.dwMinorVersion = value;
    DWORDLONG condition = VerSetConditionMask(0, typeMask, VER_EQUAL);
    return VerifyVersionInfoA(&wanted, typeMask, condition) != FALSE;
}

// The architecture only feeds the warning: nothing in the generator depends on it.
void probe_platform_arch()
{
    using is_wow64_process2 = BOOL(WINAPI *)(HANDLE, USHORT *, USHORT *);
    auto isWow64Process2 = reinterpret_cast<is_wow64_process2>(
        reinterpret_cast<void *>(resolve_proc("Kernel32", "IsWow64Process2")));
    USHORT processMachine = 0;
    USHORT nativeMachine = 0;
    if (isWow64Process2 == nullptr ||
        !isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine))
        writeLog(HY_WARNING, "GetPlatformArch",
                 "Note: Underlying Windows architecture was guessed and may be incorrect...");
}

} // namespace

void probe_windows_version()
{
    windowsVersion = -1;
    OSVERSIONINFOEXA info = {};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&info))) {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA *>(&info)))
            return;
    }
    unsigned major = info.dwMajorVersion;
    unsigned minor = info.dwMinorVersion;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_NT && (major > 6 || (major == 6 && minor >= 2))) {
        correct_reported_version(
            major, minor, [](unsigned i) { return version_part_equals(VER_MAJORVERSION, i); },
            [](unsigned j) { return version_part_equals(VER_MINORVERSION, j); });
    }
    windowsVersion = windows_version_value(major, minor, info.dwBuildNumber);
    probe_platform_arch();
}

int windows_version()
{
    if (windowsVersion < 0)
        probe_windows_version();
    return windowsVersion;
}

} // namespace hy
