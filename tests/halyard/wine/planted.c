/* A DLL planted under a system DLL's name (msimg32.dll): the generator must never load it. */
#define WIN32_LEAN_AND_MEAN
#define NOGDI
#include <windows.h>

__declspec(dllexport) int WINAPI AlphaBlend(void)
{
    return 0;
}
