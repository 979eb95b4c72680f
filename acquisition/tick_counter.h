// The acquisition tick counter: counts delivered ticks and marks every
// hundredth one as a display tick, for as long as the program runs.
#pragma once

#include <climits>

namespace tick_counter {

constexpr int kTickMs = 10;                                // the acquisition tick
constexpr int kDisplayPeriod = 100;                        // ticks: one display a second
constexpr int kDisplayPeriodMs = kDisplayPeriod * kTickMs;

// The largest multiple of the display period an int holds. After it the count
// starts again at 1, so the spacing of display ticks never changes and the
// counter never leaves the int range.
constexpr int kLastTick = INT_MAX - INT_MAX % kDisplayPeriod;
static_assert(kLastTick % kDisplayPeriod == 0, "the wrap point is a display tick");

constexpr int next(int count)
{
    return (count >= kLastTick || count < 0) ? 1 : count + 1;
}

constexpr bool isDisplayTick(int count)
{
    return count % kDisplayPeriod == 0;
}

}  // namespace tick_counter
