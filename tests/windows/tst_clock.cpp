// The Windows port's clock (the performance counter), its short sleeps on a
// waitable timer, and the timer period held while an adapter is open.
#include "harness.h"

#include "clock.h"
#include "port/windows/perf_clock.h"
#include "port/windows/timer_period.h"
#include "port/windows/wait_timer.h"

#include <algorithm>
#include <vector>

WT_CASE("core", countsConvertWithoutOverflow)
{
    CHECK_EQ(ethercat::countsToUs(0, 10000000), int64_t(0));
    CHECK_EQ(ethercat::countsToUs(15, 10000000), int64_t(1));
    CHECK_EQ(ethercat::countsToUs(10000000, 10000000), int64_t(1000000));
    // 30 days at 10 MHz: counts * 1000000 would be beyond int64.
    const int64_t month = int64_t(30) * 86400 * 10000000 + 5;
    CHECK_EQ(ethercat::countsToUs(month, 10000000), int64_t(30) * 86400 * 1000000);
    // A 3 GHz counter (the TSC on older systems), a year of uptime.
    const int64_t year = int64_t(365) * 86400 * 3000000000 + 2999;
    CHECK_EQ(ethercat::countsToUs(year, 3000000000), int64_t(365) * 86400 * 1000000);
}

WT_CASE("core", clockIsMonotonicWithMicrosecondSteps)
{
    int64_t last = ethercat::nowUs();
    int64_t smallestStep = INT64_MAX;
    for (int i = 0; i < 200000; ++i) {
        const int64_t t = ethercat::nowUs();
        if (t < last) {
            CHECK(t >= last);
            return;
        }
        if (t > last)
            smallestStep = std::min(smallestStep, t - last);
        last = t;
    }
    // The counter ticks at MHz rates: steps of one microsecond show up.
    CHECK_EQ(smallestStep, int64_t(1));
}

WT_CASE("core", sleepLastsAtLeastWhatWasAsked)
{
    ethercat::WaitTimer probe;
    CHECK(probe.valid());
    wintest::note(std::string("high-resolution waitable timer: ") + (probe.highResolution() ? "yes" : "no"));
    std::vector<int64_t> over;
    for (int i = 0; i < 20; ++i) {
        const int64_t t0 = ethercat::nowUs();
        ethercat::sleepUs(300);
        const int64_t took = ethercat::nowUs() - t0;
        CHECK(took >= 300);
        CHECK(took < 1000000);
        over.push_back(took - 300);
    }
    std::sort(over.begin(), over.end());
    wintest::note("sleepUs(300) overshoot, median " + std::to_string(over[over.size() / 2]) + " us");
    const int64_t t0 = ethercat::nowUs();
    ethercat::sleepUs(0);
    ethercat::sleepUs(-5);
    CHECK(ethercat::nowUs() - t0 < 100000);
}

WT_CASE("core", timerPeriodIsGivenBackOncePerRequest)
{
    const int before = ethercat::TimerPeriod::heldCount();
    {
        ethercat::TimerPeriod a;
        CHECK(a.held());
        CHECK_EQ(ethercat::TimerPeriod::heldCount(), before + 1);
        {
            ethercat::TimerPeriod b;
            CHECK_EQ(ethercat::TimerPeriod::heldCount(), before + 2);
        }
        CHECK_EQ(ethercat::TimerPeriod::heldCount(), before + 1);
    }
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), before);
}
