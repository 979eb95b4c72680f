// A virtual clock for our master (ethercat/) inside fuzz targets: waits take no
// real time and time moves only when the master waits or looks at it. Linked
// as an object of its own, these definitions take the place of the master's
// monotonic clock (the linker then leaves the master's clock object out of
// its archive), so timeouts end after the same steps on every run: fast and
// reproducible.
#include <cstdint>

namespace ethercat {

namespace {
int64_t virtualNowUs = 1000000;
} // namespace

int64_t nowUs()
{
    return ++virtualNowUs; // every look costs a microsecond, so no wait loop stands still
}

void sleepUs(int64_t us)
{
    if (us > 0)
        virtualNowUs += us;
}

} // namespace ethercat
