#include "port/windows/wait_timer.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace ethercat {

WaitTimer::WaitTimer()
{
    handle_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    highResolution_ = handle_ != nullptr;
    if (!handle_)
        handle_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
}

WaitTimer::~WaitTimer()
{
    if (handle_)
        CloseHandle(handle_);
}

bool WaitTimer::arm(int64_t us)
{
    if (!handle_)
        return false;
    LARGE_INTEGER due;
    due.QuadPart = -(us > 0 ? us : 0) * 10; // negative: relative, in 100 ns units
    return SetWaitableTimer(handle_, &due, 0, nullptr, nullptr, FALSE) != 0;
}

DWORD boundMs(int64_t us)
{
    const int64_t ms = (us > 0 ? us : 0) / 1000 + 2;
    return ms >= int64_t(INFINITE) ? INFINITE - 1 : DWORD(ms);
}

} // namespace ethercat
