// Monotonic time and short waits for the master, in microseconds.
#ifndef ECMASTER_CLOCK_H
#define ECMASTER_CLOCK_H

#include <cstdint>

namespace ecmaster {

int64_t nowUs();
// Sleeps about `us` microseconds (never busy-waits).
void sleepUs(int64_t us);

} // namespace ecmaster

#endif
