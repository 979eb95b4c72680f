// What every benchmark, and every end-to-end test that measures something,
// prints: one line per figure, which scripts/bench-all collects into a table,
//   BENCH<TAB>area<TAB>figure<TAB>value<TAB>unit<TAB>baseline<TAB>ratio<TAB>goal
// and the monotonic clock the figures are timed with.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace bench {

// Nanoseconds on the monotonic clock (never set back, unlike the wall clock).
inline int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Prints one figure. The ratio is value / baseline; a baseline of 0 or less
// means there is none, and baseline and ratio print as "-".
inline void line(const char *area, const std::string &figure, double value, const char *unit,
                 double baseline = 0, const char *goal = "-")
{
    char base[32] = "-", ratio[32] = "-";
    if (baseline > 0) {
        std::snprintf(base, sizeof base, "%.6g", baseline);
        std::snprintf(ratio, sizeof ratio, "%.3f", value / baseline);
    }
    std::printf("BENCH\t%s\t%s\t%.6g\t%s\t%s\t%s\t%s\n", area, figure.c_str(), value, unit, base, ratio,
                goal && *goal ? goal : "-");
    std::fflush(stdout);
}

} // namespace bench
