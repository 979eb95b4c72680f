// Distributed-clock registers: each slave has its own local clock (the bus
// clock plus a fixed skew); the frame reaches slave k HopDelayNs * k after the
// first one and passes port 1 again on its way back. An ESC with 32-bit
// distributed clocks keeps system time, receive time and offset in 32 bits:
// the upper halves read 0 and the time wraps after 4.3 s.
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

uint64_t Slave::arrivalLocalTime() const
{
    return localTime(nowNs_) + HopDelayNs * position_;
}

uint64_t Slave::systemTimeMask() const { return device_.dc64 ? ~uint64_t(0) : 0xFFFFFFFFull; }

void Slave::dcLatch()
{
    const uint64_t t0 = arrivalLocalTime();
    mem_.setU32(reg::DcRecvTimePort0, static_cast<uint32_t>(t0));
    const bool next = position_ + 1 < count_;
    const uint64_t t1 = t0 + 2 * HopDelayNs * (count_ - 1 - position_);
    mem_.setU32(reg::DcRecvTimePort1, next ? static_cast<uint32_t>(t1) : 0);
    mem_.setU32(reg::DcRecvTimePort2, 0);
    mem_.setU32(reg::DcRecvTimePort3, 0);
    mem_.setU64(reg::DcRecvTimeUnit, t0 & systemTimeMask());
}

void Slave::dcRefreshSystemTime()
{
    if (device_.dc)
        mem_.setU64(reg::DcSystemTime, (arrivalLocalTime() + mem_.u64(reg::DcSystemTimeOffset)) & systemTimeMask());
}

void Slave::dcSystemTimeWritten(const uint8_t *written32)
{
    // The written value is the reference time; keep the difference to our own copy.
    const uint32_t own = static_cast<uint32_t>(arrivalLocalTime() + mem_.u64(reg::DcSystemTimeOffset));
    const uint32_t received = getU32(written32) + mem_.u32(reg::DcSystemTimeDelay);
    const int64_t diff = static_cast<int32_t>(own - received); // 32-bit times wrap
    const uint32_t magnitude = static_cast<uint32_t>(diff < 0 ? -diff : diff) & 0x7FFFFFFFu;
    mem_.setU32(reg::DcTimeDifference, magnitude | (diff < 0 ? 0x80000000u : 0));
}

} // namespace ecsim
