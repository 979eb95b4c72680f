// Monotonic time and short waits for the master, in microseconds.
#ifndef ETHERCAT_CLOCK_H
#define ETHERCAT_CLOCK_H

#include <cstdint>

namespace ethercat {

int64_t nowUs();
// Sleeps about `us` microseconds (never busy-waits).
void sleepUs(int64_t us);

} // namespace ethercat

#endif
