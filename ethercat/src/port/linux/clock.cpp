#include "clock.h"

#include <cerrno>
#include <ctime>

namespace ethercat {

int64_t nowUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

void sleepUs(int64_t us)
{
    if (us <= 0)
        return;
    timespec ts{};
    ts.tv_sec = time_t(us / 1000000);
    ts.tv_nsec = long(us % 1000000) * 1000;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

} // namespace ethercat
