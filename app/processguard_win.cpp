#include "processguard.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

namespace {

const wchar_t kInstanceName[] = L"AmperlaneUniqueAppIdentifier";

// The name lives exactly as long as this handle, which stays open until the process ends, except
// when the process relaunches itself elevated.
HANDLE instanceMutex = nullptr;

bool isAdministrator()
{
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    FreeSid(administrators);
    return member != FALSE;
}

} // namespace

bool claimInstanceMarker()
{
    instanceMutex = CreateMutexW(nullptr, FALSE, kInstanceName);
    const DWORD error = GetLastError();
    // An elevated instance's mutex refuses a normal process access to it: that, too, means the
    // name is held.
    return error != ERROR_ALREADY_EXISTS &&
           !(instanceMutex == nullptr && error == ERROR_ACCESS_DENIED);
}

bool instanceMarkerHeld()
{
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, kInstanceName);
    if (!mutex)
        return GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(mutex);
    return true;
}

void ensureElevated()
{
    if (isAdministrator())
        return;

    wchar_t ownPath[MAX_PATH];
    if (GetModuleFileNameW(nullptr, ownPath, MAX_PATH) == 0)
        return;

    // The elevated copy must find the instance name free, or it would take this process for a
    // running instance and end itself.
    if (instanceMutex) {
        CloseHandle(instanceMutex);
        instanceMutex = nullptr;
    }

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = 0;
    info.lpVerb = L"runas";
    info.lpFile = ownPath;
    info.lpParameters = nullptr;
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info))
        std::printf("ShellExecuteEx failed with error code %lu\n", GetLastError());
    std::exit(0);
}
