// Bus enumeration: reset, count, station addresses, SII, mailbox, PRE-OP.
#include "sii.h"
#include "soem_fields.h"
#include "states.h"
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <algorithm>
#include <cstring>
#include <string>

using namespace ethercat;
namespace reg = ecwire::reg;

namespace {

constexpr uint16_t kFirstStation = 0x1001;
constexpr unsigned kClearFmmus = 16;   // FMMU entries cleared at reset
constexpr unsigned kClearSms = 16;     // SyncManager entries cleared at reset
// A slave coming down from OP to INIT, or on its way to PRE-OP, takes its
// firmware's time: devices commonly allow themselves seconds for either.
// The waits end as soon as every slave is there, refused, or is silent.
constexpr int kInitWaitUs = 5000000;
constexpr int kPreOpWaitUs = 10000000;

// Puts every slave back to a known state, whatever an earlier master left:
// INIT requested, FMMUs, SyncManagers, DC settings and event masks cleared,
// the watchdogs at their defaults, the SII handed to the master.
void resetBus(ecx_contextt *c)
{
    uint8_t zeros[kClearFmmus * ecwire::fmmu::EntrySize] = {};
    uint8_t initAck[2], init[2], divider[2], pdWatchdog[2];
    // INIT with the error acknowledge, for a slave left in error; INIT again
    // without it at the end, for a slave in device emulation, whose ESC
    // copies AL control into AL status (and would show the acknowledge as
    // an error). A slave with firmware takes no second write to AL control
    // before its firmware has read the first.
    ecwire::putU16(initAck, ecwire::al::Init | ecwire::al::ErrorFlag);
    ecwire::putU16(init, ecwire::al::Init);
    ecwire::putU16(divider, reg::WatchdogDividerDefault);
    ecwire::putU16(pdWatchdog, reg::WatchdogTimeProcessDataDefault);
    // EtherCAT has the EEPROM only while 0x0500 bit 0 and 0x0501 bit 0 are
    // clear; 0x0500 bit 1 (force ECAT access) takes it back from a slave's
    // processor that holds it, and is cleared again after.
    uint8_t forceEcatSii = reg::SiiForceEcatAccess;
    uint8_t ecatOwnsSii = 0;
    struct Write {
        uint16_t ado;
        uint8_t *data;
        uint16_t length;
    } writes[] = {
        {reg::AlControl, initAck, 2},
        {reg::FmmuBase, zeros, kClearFmmus * ecwire::fmmu::EntrySize},
        {reg::SmBase, zeros, kClearSms * ecwire::sm::EntrySize},
        {reg::DcSystemTimeOffset, zeros, 8 + 4}, // offset and delay
        {reg::DcCyclicUnitControl, zeros, 2},
        {reg::EventMask, zeros, 2},
        {reg::WatchdogDivider, divider, 2},
        {reg::WatchdogTimeProcessData, pdWatchdog, 2},
        {reg::SiiAccess, &forceEcatSii, 1},
        {reg::SiiAccess, &ecatOwnsSii, 1},
        {reg::AlControl, init, 2},
    };
    // One try each: whether anybody is there shows in the count that follows.
    for (const Write &w : writes)
        transfer(c, ecwire::Command::BWR, ecwire::makeAddress(0, w.ado), w.data, w.length, kConfigTimeoutUs, 1);
}

// The mailbox SyncManagers 0 (out) and 1 (in), as the SII's header gives
// the areas; what the master set is kept in SM[0] and SM[1].
void setupMailbox(ecx_contextt *c, int slave)
{
    ec_slavet &s = c->slavelist[slave];
    const int entries = bookOf(c, slave).smCount;
    ecwire::SmEntry out;
    out.physicalStart = s.mbx_wo;
    out.length = s.mbx_l;
    out.control = ecwire::sm::ControlMailboxOut;
    out.activate = ecwire::sm::ActivateEnable;
    ecwire::SmEntry in = out;
    in.physicalStart = s.mbx_ro;
    in.length = s.mbx_rl;
    in.control = ecwire::sm::ControlMailboxIn;
    // Prefer the control bytes the SII gives for its mailbox SyncManagers.
    for (int i = 0; i < entries; ++i) {
        const uint8_t control = smEntryOf(s.SM[i]).control;
        if (s.SMtype[i] == ecwire::sii::SmMailboxOut && control)
            out.control = control;
        if (s.SMtype[i] == ecwire::sii::SmMailboxIn && control)
            in.control = control;
    }
    uint8_t b[2 * ecwire::sm::EntrySize];
    ecwire::encodeSm(b, out);
    ecwire::encodeSm(b + ecwire::sm::EntrySize, in);
    fpwr(c, s.configadr, reg::sm(0), b, sizeof b);
    s.SM[0] = smOf(out);
    s.SM[1] = smOf(in);
    s.SMtype[0] = ecwire::sii::SmMailboxOut;
    s.SMtype[1] = ecwire::sii::SmMailboxIn;
}

bool assignAddress(ecx_contextt *c, int i)
{
    const uint16_t station = uint16_t(kFirstStation + i - 1);
    uint8_t b[2];
    ecwire::putU16(b, station);
    const int wkc = transfer(c, ecwire::Command::APWR, positionAddress(uint16_t(i - 1), reg::StationAddress), b, 2);
    if (wkc != 1) {
        report(c, "ecx_config_init: slave " + std::to_string(i) + " did not take its station address (working counter "
                      + std::to_string(wkc) + ", expected 1)");
        return false;
    }
    c->slavelist[i].configadr = station;
    c->slavelist[i].group = 0;
    return true;
}

// PDI control (0x0140, loaded from SII word 0): bit 8 says whether the ESC
// emulates the device, with no processor behind it.
void readDeviceEmulation(ecx_contextt *c, int slave, const ecwire::SiiDevice &sii)
{
    uint8_t b[2] = {};
    const uint16_t pdiControl =
        fprd(c, c->slavelist[slave].configadr, reg::PdiControl, b, 2) == 1 ? ecwire::getU16(b) : sii.pdiControl;
    bookOf(c, slave).devEmulation = (pdiControl & reg::PdiDeviceEmulation) != 0;
}

bool identifySlave(ecx_contextt *c, int i)
{
    ec_slavet &s = c->slavelist[i];
    SlaveBook &b = bookOf(c, i);
    const uint16_t station = s.configadr;
    uint8_t id[reg::Features + 2] = {};
    if (fprd(c, station, reg::Type, id, sizeof id) == 1) {
        b.escType = id[reg::Type];
        b.escFmmus = id[reg::FmmusSupported];
        b.escFeatures = ecwire::getU16(id + reg::Features);
        s.hasdc = (b.escFeatures & reg::FeatureDc) ? TRUE : FALSE;
        s.blockLRW = (b.escFeatures & reg::FeatureNoLrw) ? 1 : 0;
    }
    ecwire::SiiDevice sii;
    std::string why;
    const std::string who = "ecx_config_init: slave " + std::to_string(i) + ": ";
    if (!readSii(c, station, sii, &why)) {
        report(c, who + why);
        return false;
    }
    // A category that cannot be read is left out; the rest still counts.
    for (const std::string &skipped : sii.skipped)
        report(c, who + "SII " + skipped + ": left out");
    applySii(c, i, sii);
    readDeviceEmulation(c, i, sii);
    return true;
}

} // namespace

extern "C" int ecx_config_init(ecx_contextt *context)
{
    if (!engineOf(context))
        return 0;
    ecx_contextt *c = context;
    for (int i = 0; i < EC_MAXSLAVE; ++i)
        std::memset(&c->slavelist[i], 0, sizeof(ec_slavet));
    std::memset(c->grouplist, 0, sizeof c->grouplist);
    c->slavecount = 0;
    ContextState &state = stateOf(c);
    state.slaves.assign(1, SlaveBook{});
    std::fill(std::begin(state.expectedWkc), std::end(state.expectedWkc), 0);

    resetBus(c);
    uint8_t type[2] = {};
    const int count = brd(c, reg::Type, type, 2);
    if (count <= 0)
        return count == EC_NOFRAME ? EC_NOFRAME : 0;
    if (count >= EC_MAXSLAVE) {
        report(c, "ecx_config_init: " + std::to_string(count) + " slaves answered, at most "
                      + std::to_string(EC_MAXSLAVE - 1) + " are supported");
        return -1;
    }
    c->slavecount = count;
    state.slaves.assign(size_t(count) + 1, SlaveBook{});
    for (int i = 1; i <= count; ++i) {
        if (!assignAddress(c, i)) {
            c->slavecount = 0;
            return 0;
        }
    }
    for (int i = 1; i <= count; ++i) {
        if (!identifySlave(c, i)) {
            c->slavecount = 0;
            return 0;
        }
    }
    // The reset asked for INIT (the SII is read in any state); a slave
    // reports where it stays and why. Mailboxes are set up in INIT.
    awaitState(c, EC_STATE_INIT, kInitWaitUs);
    for (int i = 1; i <= count; ++i) {
        const ec_slavet &s = c->slavelist[i];
        if (s.mbx_l > 0 && s.mbx_rl > 0)
            setupMailbox(c, i);
    }
    // Every slave to PRE-OP; wait for it, since the next steps use the
    // mailbox. A slave that does not get there says why (its AL status
    // code); the others are still configured.
    c->slavelist[0].state = EC_STATE_PRE_OP;
    ecx_writestate(c, 0);
    awaitState(c, EC_STATE_PRE_OP, kPreOpWaitUs);
    return count;
}
