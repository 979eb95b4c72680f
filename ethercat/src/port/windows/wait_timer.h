// A waitable timer for waits shorter than a millisecond: Sleep and the wait
// functions count whole milliseconds of the system tick, a high-resolution
// waitable timer (Windows 10 1803 and later) takes its due time in 100 ns
// units and keeps it. Where the system has none, an ordinary waitable timer
// stands in, as fine as the timer period (1 ms while an adapter is open,
// see timer_period.h).
#ifndef ETHERCAT_PORT_WINDOWS_WAIT_TIMER_H
#define ETHERCAT_PORT_WINDOWS_WAIT_TIMER_H

#include <windows.h>

#include <cstdint>

namespace ethercat {

class WaitTimer {
public:
    WaitTimer();
    ~WaitTimer();
    WaitTimer(const WaitTimer &) = delete;
    WaitTimer &operator=(const WaitTimer &) = delete;

    bool valid() const { return handle_ != nullptr; }
    bool highResolution() const { return highResolution_; }
    // Signals the timer `us` microseconds from now (cleared until then).
    bool arm(int64_t us);
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_ = nullptr;
    bool highResolution_ = false;
};

// Milliseconds to give a wait function as a bound when the timer does the
// timing: a little more than `us`, so the timer, not the bound, ends it.
DWORD boundMs(int64_t us);

} // namespace ethercat

#endif
