// Bus enumeration: reset, count, station addresses, SII, mailbox, PRE-OP.
#include "sii.h"
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <cstdio>
#include <cstring>

using namespace ecmaster;
namespace reg = ecwire::reg;

namespace {

constexpr uint16_t kFirstStation = 0x1001;
constexpr unsigned kClearFmmus = 16;   // FMMU entries cleared at reset
constexpr unsigned kClearSms = 16;     // SyncManager entries cleared at reset

// Puts every slave back to a known state: INIT requested with error
// acknowledge, FMMUs, SyncManagers, DC settings and event masks cleared,
// the SII handed to the master.
void resetBus(ecx_contextt *c)
{
    uint8_t zeros[kClearFmmus * ecwire::fmmu::EntrySize] = {};
    uint8_t init[2];
    ecwire::putU16(init, ecwire::al::Init | ecwire::al::ErrorFlag);
    uint8_t eCatOwnsSii = 0;
    struct Write {
        uint16_t ado;
        uint8_t *data;
        uint16_t length;
    } writes[] = {
        {reg::AlControl, init, 2},
        {reg::FmmuBase, zeros, kClearFmmus * ecwire::fmmu::EntrySize},
        {reg::SmBase, zeros, kClearSms * ecwire::sm::EntrySize},
        {reg::DcSystemTimeOffset, zeros, 8 + 4}, // offset and delay
        {reg::DcCyclicUnitControl, zeros, 2},
        {reg::EventMask, zeros, 2},
        {reg::SiiAccess, &eCatOwnsSii, 1},
    };
    // One try each: whether anybody is there shows in the count that follows.
    for (const Write &w : writes)
        transfer(c, ecwire::Command::BWR, ecwire::makeAddress(0, w.ado), w.data, w.length, kConfigTimeoutUs, 1);
}

void setupMailbox(ecx_contextt *c, const ec_slavet &s)
{
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
    for (int i = 0; i < s.sm_count; ++i) {
        if (s.sm[i].type == ecwire::sii::SmMailboxOut && s.sm[i].control)
            out.control = s.sm[i].control;
        if (s.sm[i].type == ecwire::sii::SmMailboxIn && s.sm[i].control)
            in.control = s.sm[i].control;
    }
    uint8_t b[2 * ecwire::sm::EntrySize];
    ecwire::encodeSm(b, out);
    ecwire::encodeSm(b + ecwire::sm::EntrySize, in);
    fpwr(c, s.configadr, reg::sm(0), b, sizeof b);
}

bool assignAddress(ecx_contextt *c, int i)
{
    const uint16_t station = uint16_t(kFirstStation + i - 1);
    uint8_t b[2];
    ecwire::putU16(b, station);
    const int wkc = transfer(c, ecwire::Command::APWR, positionAddress(uint16_t(i - 1), reg::StationAddress), b, 2);
    if (wkc != 1) {
        std::fprintf(stderr, "ecx_config_init: slave %d did not take its station address (working counter %d, expected 1)\n",
                     i, wkc);
        return false;
    }
    c->slavelist[i].configadr = station;
    c->slavelist[i].group = 0;
    return true;
}

bool configureSlave(ecx_contextt *c, int i)
{
    ec_slavet &s = c->slavelist[i];
    const uint16_t station = s.configadr;
    uint8_t id[reg::Features + 2] = {};
    if (fprd(c, station, reg::Type, id, sizeof id) == 1) {
        s.esc_type = id[reg::Type];
        s.esc_fmmus = id[reg::FmmusSupported];
        s.esc_features = ecwire::getU16(id + reg::Features);
        s.hasdc = (s.esc_features & reg::FeatureDc) ? TRUE : FALSE;
    }
    ecwire::SiiDevice sii;
    std::string why;
    if (!readSii(c, station, sii, &why)) {
        std::fprintf(stderr, "ecx_config_init: slave %d: %s\n", i, why.c_str());
        return false;
    }
    // A category that cannot be read is left out; the rest still counts.
    for (const std::string &skipped : sii.skipped)
        std::fprintf(stderr, "ecx_config_init: slave %d: SII %s: left out\n", i, skipped.c_str());
    applySii(s, sii);
    if (s.mbx_l > 0 && s.mbx_rl > 0)
        setupMailbox(c, s);
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

    resetBus(c);
    uint8_t type[2] = {};
    const int count = brd(c, reg::Type, type, 2);
    if (count <= 0)
        return count == EC_NOFRAME ? EC_NOFRAME : 0;
    if (count >= EC_MAXSLAVE) {
        std::fprintf(stderr, "ecx_config_init: %d slaves answered, at most %d are supported\n", count,
                     EC_MAXSLAVE - 1);
        return -1;
    }
    c->slavecount = count;
    for (int i = 1; i <= count; ++i) {
        if (!assignAddress(c, i)) {
            c->slavecount = 0;
            return 0;
        }
    }
    // The reset asked for INIT; a slave reports where it stays and why.
    ecx_statecheck(c, 0, EC_STATE_INIT, EC_TIMEOUTSTATE);
    for (int i = 1; i <= count; ++i) {
        if (!configureSlave(c, i)) {
            c->slavecount = 0;
            return 0;
        }
    }
    // Every slave to PRE-OP; wait for it, since the next steps use the
    // mailbox. A slave that does not get there says why (its AL status
    // code); the others are still configured.
    c->slavelist[0].state = EC_STATE_PRE_OP;
    ecx_writestate(c, 0);
    ecx_statecheck(c, 0, EC_STATE_PRE_OP, EC_TIMEOUTSTATE);
    return count;
}
