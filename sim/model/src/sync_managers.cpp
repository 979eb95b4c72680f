// The SyncManager configuration in force. The master writes the registers;
// the ESC takes them at the end of the frame, as it does with AL control and
// SII control. Status and PDI control belong to the slave.
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

namespace {
bool enabled(const SmEntry &e) { return (e.activate & sm::ActivateEnable) != 0; }
} // namespace

uint8_t Slave::smStatus(unsigned n) const { return mem_.u8(static_cast<uint16_t>(reg::sm(n) + sm::Status)); }

void Slave::setSmStatus(unsigned n, uint8_t bits, bool on)
{
    const uint16_t at = static_cast<uint16_t>(reg::sm(n) + sm::Status);
    mem_.setU8(at, static_cast<uint8_t>(on ? (mem_.u8(at) | bits) : (mem_.u8(at) & ~bits)));
}

void Slave::acknowledgeRepeat(unsigned n)
{
    const uint16_t pdi = static_cast<uint16_t>(reg::sm(n) + sm::PdiControl);
    const bool repeat = (mem_.u8(static_cast<uint16_t>(reg::sm(n) + sm::Activate)) & sm::ActivateRepeat) != 0;
    mem_.setU8(pdi, static_cast<uint8_t>((mem_.u8(pdi) & ~sm::PdiRepeatAck) | (repeat ? sm::PdiRepeatAck : 0)));
}

void Slave::applySyncManagers()
{
    for (unsigned n = 0; n < SyncManagers; ++n) {
        const SmEntry before = sm_[n];
        SmEntry now = decodeSm(mem_.data() + reg::sm(n));
        sm_[n] = now;
        if (enabled(before) && !enabled(now)) {
            // A disabled SyncManager drops its buffer.
            setSmStatus(n, sm::StatusMailboxFull, false);
            if (n == 1 && device_.hasMailbox())
                resetMailbox();
        }
        if (!enabled(before) && enabled(now)) // a fresh start: the repeat acknowledge follows the request
            acknowledgeRepeat(n);
        if (n == 1 && enabled(before) && enabled(now) && ((before.activate ^ now.activate) & sm::ActivateRepeat))
            repeatRequested();
    }
}

} // namespace ecsim
