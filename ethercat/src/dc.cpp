// Distributed clocks: propagation delays and system time offsets.
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

using namespace ethercat;
namespace reg = ecwire::reg;

namespace {

struct Latched {
    bool ok = false;
    bool wide = false;    // 64-bit clock (ESC features bit 3), else 32-bit
    uint32_t port0 = 0;   // frame arrived from the master side
    uint32_t port1 = 0;   // frame came back from the slaves further down
    bool port1Open = false;
    uint64_t unit = 0;    // receive time of the processing unit, local clock
};

Latched readLatched(ecx_contextt *c, int slave)
{
    const ec_slavet &s = c->slavelist[slave];
    Latched l;
    l.wide = (bookOf(c, slave).escFeatures & reg::FeatureDc64) != 0;
    uint8_t ports[16] = {};
    uint8_t unit[8] = {};
    uint8_t dl[2] = {};
    // A 32-bit clock has 4 bytes of receive time; what follows is not its.
    const uint16_t unitLen = l.wide ? 8 : 4;
    if (fprd(c, s.configadr, reg::DcRecvTimePort0, ports, sizeof ports) != 1
        || fprd(c, s.configadr, reg::DcRecvTimeUnit, unit, unitLen) != 1)
        return l;
    l.ok = true;
    l.port0 = ecwire::getU32(ports);
    l.port1 = ecwire::getU32(ports + (reg::DcRecvTimePort1 - reg::DcRecvTimePort0));
    l.unit = l.wide ? ecwire::getU64(unit) : ecwire::getU32(unit);
    if (fprd(c, s.configadr, reg::DlStatus, dl, sizeof dl) == 1)
        l.port1Open = (ecwire::getU16(dl) & reg::DlStatusCommPort1) != 0;
    return l;
}

// Time the frame needed from port 0 through the slaves behind this one
// and back; 0 for the last slave of a line.
int64_t loopTime(const Latched &l)
{
    return l.port1Open ? int64_t(uint32_t(l.port1 - l.port0)) : 0;
}

} // namespace

extern "C" boolean ecx_configdc(ecx_contextt *context)
{
    if (!engineOf(context) || context->slavecount <= 0)
        return FALSE;
    ecx_contextt *c = context;
    uint8_t zero[4] = {};
    // Any write to the port 0 receive time latches the receive times of
    // every slave as this one frame passes.
    if (bwr(c, reg::DcRecvTimePort0, zero, sizeof zero) <= 0)
        return FALSE;

    bool any = false;
    Latched ref;
    for (int i = 1; i <= c->slavecount; ++i) {
        ec_slavet &s = c->slavelist[i];
        if (!s.hasdc)
            continue;
        const Latched l = readLatched(c, i);
        if (!l.ok) {
            s.hasdc = FALSE;
            continue;
        }
        if (!any)
            ref = l; // the first slave with clocks is the reference
        any = true;
        const int64_t delay = (loopTime(ref) - loopTime(l)) / 2;
        s.pdelay = int32_t(delay > 0 ? delay : 0);
        // Offset that makes this slave's system time read the reference's.
        // Where either clock has 32 bits only those bits can agree: the
        // difference is taken modulo 2^32 (and sign-extended for a 64-bit
        // slave under a 32-bit reference).
        int64_t offset = 0;
        if (ref.wide && l.wide)
            offset = int64_t(ref.unit - l.unit + uint64_t(uint32_t(s.pdelay)));
        else
            offset = int64_t(int32_t(uint32_t(ref.unit) - uint32_t(l.unit) + uint32_t(s.pdelay)));
        uint8_t b[8];
        ecwire::putU64(b, uint64_t(offset));
        fpwr(c, s.configadr, reg::DcSystemTimeOffset, b, l.wide ? 8 : 4);
        ecwire::putU32(b, uint32_t(s.pdelay));
        fpwr(c, s.configadr, reg::DcSystemTimeDelay, b, 4);
    }
    c->slavelist[0].hasdc = any ? TRUE : FALSE;
    for (int g = 0; g < EC_MAXGROUP; ++g)
        c->grouplist[g].hasdc = any ? TRUE : FALSE;
    return any ? TRUE : FALSE;
}
