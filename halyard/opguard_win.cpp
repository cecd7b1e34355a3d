#include "opguard_win.h"

#include "hy_types.h"

#include <cstdio>

namespace hy {

operation_guard::operation_guard(const char *operation)
{
    char name[MAX_PATH];
    snprintf(name, sizeof name, "Global\\%s", operation);
    mutex_ = CreateMutexA(nullptr, TRUE, name);
    if (mutex_ == nullptr) {
        result_ = HY_ERROR_RESOURCE;
    } else if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex_);
        mutex_ = nullptr;
        result_ = HY_ERROR_BUSY;
    }
}

operation_guard::~operation_guard()
{
    if (mutex_ != nullptr) {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
}

} // namespace hy
