#include "port/windows/timer_period.h"

#include <windows.h>
#include <timeapi.h>

#include <atomic>

namespace ethercat {

namespace {
constexpr UINT kPeriodMs = 1;
std::atomic<int> g_held{0};
} // namespace

TimerPeriod::TimerPeriod()
{
    held_ = timeBeginPeriod(kPeriodMs) == TIMERR_NOERROR;
    if (held_)
        ++g_held;
}

TimerPeriod::~TimerPeriod()
{
    if (!held_)
        return;
    timeEndPeriod(kPeriodMs);
    --g_held;
}

int TimerPeriod::heldCount()
{
    return g_held.load();
}

} // namespace ethercat
