// Holds a named mutex for another process's test: prints "held" once it owns the mutex, then
// waits until its standard input closes (or 60 s pass).
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    HANDLE mutex = CreateMutexA(nullptr, TRUE, argv[1]);
    if (mutex == nullptr)
        return 1;
    printf("held\n");
    fflush(stdout);
    char buffer[16];
    DWORD read = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000 &&
           ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    }
    CloseHandle(mutex);
    return 0;
}
