// The DLL's only entry: finds the station's interface and writes its driver package.
#include "halyard.h"

#include "exportpackage_win.h"

#include <windows.h>

extern "C" HALYARD_API int HALYARD_CALL halyard(const char *outputFolder,
                                                const char *interfaceNumber, char *infPathOut,
                                                halyard_log_fn log)
{
    return hy::export_driver_package(outputFolder, interfaceNumber, infPathOut, log,
                                     hy::setupapi_calls);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        DisableThreadLibraryCalls(instance);
    return TRUE;
}
