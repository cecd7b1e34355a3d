/* installer_x64.exe: installs a driver package on the devices that carry a hardware ID.
 * Usage: installer_x64.exe <hardware ID> <INF path>
 * Exit code 0 on success, else the Windows error code. */
#include <windows.h>

#include <newdev.h>
#include <stdio.h>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fwprintf(stderr, L"usage: %ls <hardware ID> <INF path>\n", argv[0]);
        return ERROR_INVALID_PARAMETER;
    }
    BOOL rebootRequired = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesW(NULL, argv[1], argv[2], INSTALLFLAG_FORCE,
                                            &rebootRequired)) {
        DWORD error = GetLastError();
        fwprintf(stderr, L"installing %ls for %ls failed: 0x%08lX\n", argv[2], argv[1], error);
        return (int)error;
    }
    wprintf(L"installed%ls\n", rebootRequired ? L" (restart required)" : L"");
    return 0;
}
