// AL state requests and reads.
#include "clock.h"
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <algorithm>
#include <vector>

using namespace ecmaster;
using ecwire::al::ErrorFlag;
using ecwire::al::StateMask;

namespace {

// Pause between two reads while waiting for a state: short at first, since
// most transitions are quick, then longer so that a slow slave is not flooded.
constexpr int kFirstPauseUs = 100;
constexpr int kLongestPauseUs = 2000;
// AL status (2), reserved (2), AL status code (2) in one read
constexpr uint16_t kStatusReadLen = ecwire::reg::AlStatusCode + 2 - ecwire::reg::AlStatus;
constexpr uint16_t kCodeOffset = ecwire::reg::AlStatusCode - ecwire::reg::AlStatus;

bool singleState(uint16_t s)
{
    const uint16_t st = s & StateMask;
    return st == ecwire::al::Init || st == ecwire::al::PreOp || st == ecwire::al::SafeOp
        || st == ecwire::al::Op;
}

// Reads every slave's AL status and code in one frame of FPRDs (more
// frames when they do not fit). A slave that does not answer reads 0.
void readEach(ecx_contextt *c)
{
    Engine *e = engineOf(c);
    const int n = c->slavecount;
    constexpr int kPerFrame = 64; // 64 * (12 + 6) bytes fit in one frame
    std::vector<uint8_t> buf(size_t(kPerFrame) * kStatusReadLen);
    Datagram d[kPerFrame];
    for (int first = 1; first <= n; first += kPerFrame) {
        const int count = std::min(kPerFrame, n - first + 1);
        std::fill(buf.begin(), buf.end(), 0);
        for (int k = 0; k < count; ++k) {
            d[k] = Datagram{};
            d[k].command = ecwire::Command::FPRD;
            d[k].address = ecwire::makeAddress(c->slavelist[first + k].configadr, ecwire::reg::AlStatus);
            d[k].data = buf.data() + size_t(k) * kStatusReadLen;
            d[k].length = kStatusReadLen;
        }
        const bool back = e && exchange(*e, d, size_t(count), EC_TIMEOUTRET) == 1;
        for (int k = 0; k < count; ++k) {
            ec_slavet &s = c->slavelist[first + k];
            if (back && d[k].wkc == 1) {
                s.state = ecwire::getU16(d[k].data);
                s.ALstatuscode = ecwire::getU16(d[k].data + kCodeOffset);
            } else {
                s.state = EC_STATE_NONE;
            }
        }
    }
}

uint16_t lowestState(ecx_contextt *c)
{
    uint16_t low = 0xFF;
    uint16_t err = 0;
    for (int i = 1; i <= c->slavecount; ++i) {
        const uint16_t s = c->slavelist[i].state;
        low = std::min<uint16_t>(low, s & StateMask);
        err |= s & ErrorFlag;
    }
    return c->slavecount > 0 ? uint16_t(low | err) : EC_STATE_NONE;
}

uint16_t readOne(ecx_contextt *c, uint16_t slave)
{
    uint8_t b[kStatusReadLen] = {};
    ec_slavet &s = c->slavelist[slave];
    if (fprd(c, s.configadr, ecwire::reg::AlStatus, b, kStatusReadLen) == 1) {
        s.state = ecwire::getU16(b);
        s.ALstatuscode = ecwire::getU16(b + kCodeOffset);
    } else {
        s.state = EC_STATE_NONE;
    }
    return s.state;
}

} // namespace

extern "C" int ecx_readstate(ecx_contextt *context)
{
    if (!engineOf(context) || context->slavecount <= 0)
        return 0;
    ecx_contextt *c = context;
    uint8_t b[2] = {};
    const int wkc = transfer(c, ecwire::Command::BRD, ecwire::makeAddress(0, ecwire::reg::AlStatus), b, 2,
                             EC_TIMEOUTRET, 1);
    const uint16_t all = ecwire::getU16(b);
    // The broadcast read ORs the slaves' values: a single state without
    // the error bit from every slave means they all agree.
    if (wkc == c->slavecount && singleState(all) && !(all & ErrorFlag)) {
        for (int i = 1; i <= c->slavecount; ++i) {
            c->slavelist[i].state = all;
            c->slavelist[i].ALstatuscode = 0;
        }
        c->slavelist[0].state = all;
        return all;
    }
    if (wkc == EC_NOFRAME) {
        // Nothing came back: no slave answered.
        for (int i = 0; i <= c->slavecount; ++i)
            c->slavelist[i].state = EC_STATE_NONE;
        return EC_STATE_NONE;
    }
    readEach(c);
    c->slavelist[0].state = lowestState(c);
    return c->slavelist[0].state;
}

extern "C" int ecx_writestate(ecx_contextt *context, uint16 slave)
{
    if (!engineOf(context))
        return EC_NOFRAME;
    if (slave == 0)
        return bwrU16(context, ecwire::reg::AlControl, context->slavelist[0].state);
    if (slave > context->slavecount)
        return 0;
    const ec_slavet &s = context->slavelist[slave];
    return fpwrU16(context, s.configadr, ecwire::reg::AlControl, s.state);
}

extern "C" uint16 ecx_statecheck(ecx_contextt *context, uint16 slave, uint16 reqstate, int timeout)
{
    if (!engineOf(context) || slave > context->slavecount)
        return EC_STATE_NONE;
    const int64_t deadline = nowUs() + (timeout > 0 ? timeout : 0);
    int64_t pause = kFirstPauseUs;
    for (;;) {
        uint16_t state;
        if (slave == 0) {
            state = uint16_t(ecx_readstate(context));
            // Reached only when every slave reports the requested state.
            bool all = context->slavecount > 0;
            for (int i = 1; i <= context->slavecount; ++i)
                all = all && (context->slavelist[i].state & StateMask) == reqstate;
            if (all)
                return state;
        } else {
            state = readOne(context, slave);
            if ((state & StateMask) == reqstate)
                return state;
        }
        const int64_t left = deadline - nowUs();
        if (left <= 0)
            return state;
        sleepUs(std::min<int64_t>(left, pause));
        pause = std::min<int64_t>(pause * 2, kLongestPauseUs);
    }
}
