// The application-layer state machine. The firmware behind the ESC picks up
// a write to AL control at the end of the frame and answers it in AL status
// after its own time (DeviceTiming): until then AL status shows the old
// state. A value written while it works on one is looked at afterwards.
//
// Error indication (AL status bit 4) and acknowledge (AL control bit 4), as
// the ESM of ETG.1000.6 handles them:
// - a refused transition leaves the slave where it is, with the error
//   indication set and the reason in the AL status code;
// - a request with the acknowledge clears the indication and the code, then
//   the requested state is handled as usual;
// - while the indication is set, a request without the acknowledge for a
//   higher state than the current one is not carried out; a request for the
//   current or a lower state is, and the indication and the code stay set
//   until the master acknowledges them.
// An ESC in device emulation (PDI control bit 8) has no firmware: it copies
// AL control into AL status at the end of the frame.
#include <algorithm>

#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

namespace {
constexpr uint16_t EventAlStatus = 0x0008;

bool fmmuCovers(const EscMemory &mem, uint16_t start, uint16_t length, uint8_t typeBit)
{
    for (unsigned n = 0; n < 8; ++n) {
        const FmmuEntry f = decodeFmmu(mem.data() + reg::fmmu(n));
        if ((f.activate & 0x01) && (f.type & typeBit) && f.physicalStart <= start
            && uint32_t(start) + length <= uint32_t(f.physicalStart) + f.length)
            return true;
    }
    return false;
}
} // namespace

void Slave::initAl()
{
    mem_.setU16(reg::AlControl, al::Init);
    mem_.setU16(reg::AlStatus, al::Init);
    mem_.setU16(reg::AlStatusCode, al::NoError);
}

uint16_t Slave::alStatus() const { return mem_.u16(reg::AlStatus); }
uint16_t Slave::alStatusCode() const { return mem_.u16(reg::AlStatusCode); }

void Slave::setAl(uint16_t state, uint16_t code, bool error)
{
    const uint16_t status = static_cast<uint16_t>(state | (error ? al::ErrorFlag : 0));
    if (status != alStatus())
        mem_.setU16(reg::EventRequest, mem_.u16(reg::EventRequest) | EventAlStatus);
    const uint16_t before = alStatus() & al::StateMask;
    mem_.setU16(reg::AlStatus, status);
    mem_.setU16(reg::AlStatusCode, code);
    if (state == al::Init)
        resetMailbox();
    if (before == al::Init && state == al::PreOp && staleArmed_) {
        // The mailbox runs again: a reply the firmware still held from an
        // earlier master session goes out first.
        putStaleReply();
    }
    if (state == al::Op && before != al::Op)
        lastOutputsNs_ = nowNs_; // the watchdog starts on entering OP
}

void Slave::forceError(uint16_t status, uint16_t code)
{
    forced_ = true;
    alBusy_ = alNewer_ = false;
    setAl(status & al::StateMask, code, (status & al::ErrorFlag) != 0);
}

void Slave::alControlWritten()
{
    if (device_.deviceEmulation) {
        // Device emulation: the ESC itself copies AL control (state and
        // acknowledge bit) into AL status; no firmware, no checks.
        const uint16_t control = mem_.u16(reg::AlControl);
        setAl(control & al::StateMask, alStatusCode(), (control & al::ErrorFlag) != 0);
        return;
    }
    if (alBusy_) {
        alNewer_ = true;
        return;
    }
    const uint16_t control = mem_.u16(reg::AlControl);
    const uint16_t from = alStatus() & al::StateMask;
    const uint64_t took = from == al::PreOp && (control & al::StateMask) == al::SafeOp ? device_.timing.safeOpNs
                                                                                       : device_.timing.alNs;
    // The firmware runs once the ESC has loaded its EEPROM.
    const uint64_t start = std::max(nowNs_, poweredNs_ + device_.timing.eepromLoadNs);
    alBusy_ = true;
    alWorkingOn_ = control;
    alDueNs_ = start + took;
}

void Slave::alDue()
{
    if (!alBusy_ || nowNs_ < alDueNs_)
        return;
    alBusy_ = false;
    handleAlControl(alWorkingOn_);
    if (alNewer_) {
        alNewer_ = false;
        alControlWritten();
    }
}

void Slave::handleAlControl(uint16_t control)
{
    if (forced_)
        return; // a fault set from the control channel holds until released
    const uint16_t requested = control & al::StateMask;
    const bool ack = (control & al::ErrorFlag) != 0;
    const uint16_t current = alStatus() & al::StateMask;
    bool error = (alStatus() & al::ErrorFlag) != 0;
    if (error) {
        if (ack) {
            setAl(current, al::NoError, false);
            error = false;
        } else if (requested > current) {
            return; // up only after the acknowledge
        }
    }
    if (requested == current)
        return;
    if (holdOp_ && current == al::SafeOp && requested == al::Op)
        return; // waits in SAFE-OP, as a slave does that is not ready for OP yet
    const uint16_t code = checkTransition(current, requested);
    if (code != al::NoError)
        setAl(current, code, true);
    else
        setAl(requested, error ? alStatusCode() : al::NoError, error);
}

uint16_t Slave::checkTransition(uint16_t from, uint16_t to) const
{
    switch (to) {
    case al::Init:
        return al::NoError;
    case al::PreOp:
        if (from == al::Init)
            return mailboxSmsValid() ? al::NoError : al::InvalidMailboxConfig;
        return al::NoError; // down from SAFE-OP or OP
    case al::SafeOp:
        if (from == al::PreOp)
            return processDataCheck();
        return from == al::Op ? al::NoError : al::InvalidStateChange;
    case al::Op:
        if (from != al::SafeOp)
            return al::InvalidStateChange;
        return refuseOp_ ? refuseOpCode_ : al::NoError;
    case al::Boot:
        return from == al::Init ? al::BootNotSupported : al::InvalidStateChange;
    default:
        return al::UnknownState;
    }
}

bool Slave::mailboxSmsValid() const
{
    if (!device_.hasMailbox())
        return true;
    const SmEntry &out = sm(0);
    const SmEntry &in = sm(1);
    const uint8_t kind = sm::ModeMask | sm::DirMask;
    return out.physicalStart == device_.sii.mbxRxOffset && out.length == device_.sii.mbxRxSize
        && (out.control & kind) == (sm::ModeMailbox | sm::DirWrite) && (out.activate & sm::ActivateEnable)
        && in.physicalStart == device_.sii.mbxTxOffset && in.length == device_.sii.mbxTxSize
        && (in.control & kind) == (sm::ModeMailbox | sm::DirRead) && (in.activate & sm::ActivateEnable);
}

uint16_t Slave::processDataCheck() const
{
    const uint8_t kind = sm::ModeMask | sm::DirMask;
    const SmEntry &out = sm(2);
    const bool outOn = (out.activate & sm::ActivateEnable) && out.length > 0;
    if (device_.outputSize > 0) {
        if (!outOn || out.length != device_.outputSize || (out.control & kind) != (sm::ModeBuffered | sm::DirWrite)
            || !mem_.inRange(out.physicalStart, out.length)
            || !fmmuCovers(mem_, out.physicalStart, out.length, fmmu::TypeWrite))
            return al::InvalidOutputConfig;
    } else if (outOn) {
        return al::InvalidOutputConfig;
    }
    const SmEntry &in = sm(3);
    const bool inOn = (in.activate & sm::ActivateEnable) && in.length > 0;
    if (device_.inputSize > 0) {
        if (!inOn || in.length != device_.inputSize || (in.control & kind) != (sm::ModeBuffered | sm::DirRead)
            || !mem_.inRange(in.physicalStart, in.length)
            || !fmmuCovers(mem_, in.physicalStart, in.length, fmmu::TypeRead))
            return al::InvalidInputConfig;
    } else if (inOn) {
        return al::InvalidInputConfig;
    }
    return al::NoError;
}

} // namespace ecsim
