// Monotonic time from the performance counter; short sleeps on a waitable
// timer, so that a wait of 200 us is not a wait of a whole system tick.
#include "clock.h"
#include "port/windows/perf_clock.h"
#include "port/windows/wait_timer.h"

#include <windows.h>

namespace ethercat {

int64_t countsToUs(int64_t counts, int64_t perSecond)
{
    const int64_t whole = counts / perSecond;
    const int64_t rest = counts % perSecond;
    return whole * 1000000 + rest * 1000000 / perSecond;
}

int64_t nowUs()
{
    // The counter's frequency is fixed at boot.
    static const int64_t perSecond = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return int64_t(f.QuadPart);
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return countsToUs(c.QuadPart, perSecond);
}

void sleepUs(int64_t us)
{
    if (us <= 0)
        return;
    thread_local WaitTimer timer;
    if (timer.arm(us) && WaitForSingleObject(timer.handle(), boundMs(us)) != WAIT_FAILED)
        return;
    Sleep(DWORD((us + 999) / 1000));
}

} // namespace ethercat
