// One public generator operation at a time per machine: the named mutex "Global\<operation>".
#pragma once

#include <windows.h>

namespace hy {

class operation_guard
{
public:
    explicit operation_guard(const char *operation);
    ~operation_guard();
    operation_guard(const operation_guard &) = delete;
    operation_guard &operator=(const operation_guard &) = delete;

    // 0 when the mutex is held; -6 when another caller holds it; -11 when it cannot be made.
    int result() const { return result_; }

private:
    HANDLE mutex_ = nullptr;
    int result_ = 0;
};

} // namespace hy
