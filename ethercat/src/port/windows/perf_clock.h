// The master's clock on Windows: the performance counter.
#ifndef ETHERCAT_PORT_WINDOWS_PERF_CLOCK_H
#define ETHERCAT_PORT_WINDOWS_PERF_CLOCK_H

#include <cstdint>

namespace ethercat {

// Counter ticks to microseconds at `perSecond` ticks a second, without the
// overflow of counts * 1000000 (at 10 MHz that product leaves int64 after
// ten days of uptime).
int64_t countsToUs(int64_t counts, int64_t perSecond);

} // namespace ethercat

#endif
