// The system timer period at 1 ms while an adapter is open: waits that fall
// back to the system tick (see wait_timer.h) and the scheduler's wake-ups
// are then 1 ms apart instead of 15.6 ms. Each period asked for with
// timeBeginPeriod is given back with timeEndPeriod when the adapter closes.
#ifndef ETHERCAT_PORT_WINDOWS_TIMER_PERIOD_H
#define ETHERCAT_PORT_WINDOWS_TIMER_PERIOD_H

namespace ethercat {

class TimerPeriod {
public:
    TimerPeriod();
    ~TimerPeriod();
    TimerPeriod(const TimerPeriod &) = delete;
    TimerPeriod &operator=(const TimerPeriod &) = delete;

    bool held() const { return held_; }
    // Periods this process holds now through TimerPeriod objects.
    static int heldCount();

private:
    bool held_ = false;
};

} // namespace ethercat

#endif
