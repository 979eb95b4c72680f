// What every benchmark, and every end-to-end test that measures something,
// prints: one line per figure, which scripts/bench-all collects into a table,
//   BENCH<TAB>area<TAB>figure<TAB>value<TAB>unit<TAB>baseline<TAB>ratio<TAB>goal
// the monotonic clock the figures are timed with, and the summary of a series
// of timings.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

// Nanoseconds on the monotonic clock (never set back, unlike the wall clock).
inline int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A series of timings in microseconds: median, 99th percentile and mean of
// the ones that came back, and how many did not.
struct Timings {
    double medianUs = 0;
    double p99Us = 0;
    double meanUs = 0;
    size_t samples = 0;
    size_t lost = 0;
};

inline Timings summarize(std::vector<int64_t> ns, size_t lost);

// Timings gathered one at a time, over one or more blocks of work.
struct Samples {
    std::vector<int64_t> ns;
    size_t lost = 0;
    // A time in nanoseconds, or a negative one for work that failed.
    void add(int64_t t) { t < 0 ? void(++lost) : ns.push_back(t); }
    Timings summary() const { return summarize(ns, lost); }
};

inline Timings summarize(std::vector<int64_t> ns, size_t lost)
{
    Timings t;
    t.lost = lost;
    t.samples = ns.size();
    if (ns.empty())
        return t;
    std::sort(ns.begin(), ns.end());
    t.medianUs = double(ns[ns.size() / 2]) / 1000.0;
    t.p99Us = double(ns[std::min(ns.size() - 1, ns.size() * 99 / 100)]) / 1000.0;
    double sum = 0;
    for (int64_t v : ns)
        sum += double(v);
    t.meanUs = sum / double(ns.size()) / 1000.0;
    return t;
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
