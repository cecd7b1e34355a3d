/* Stand-in co-installer for the driver packages: accepts every device installation request and
 * changes nothing. The system's own WinUSB and KMDF 1.11 (Windows 8 and later) do the work. */
#include <windows.h>

#include <setupapi.h>

#ifndef COINSTALLER_ENTRY
#error COINSTALLER_ENTRY names the exported entry point
#endif

__declspec(dllexport) DWORD CALLBACK COINSTALLER_ENTRY(DI_FUNCTION function, HDEVINFO set,
                                                       PSP_DEVINFO_DATA device, void *context)
{
    (void)function;
    (void)set;
    (void)device;
    (void)context;
    return NO_ERROR;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}
