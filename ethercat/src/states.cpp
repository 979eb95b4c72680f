// AL state requests and reads.
#include "states.h"

#include "clock.h"
#include "poll_pacer.h"
#include "report.h"
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <algorithm>
#include <vector>

using namespace ecmaster;
using ecwire::al::ErrorFlag;
using ecwire::al::StateMask;

namespace {

// AL status (2), reserved (2), AL status code (2) in one read
constexpr uint16_t kStatusReadLen = ecwire::reg::AlStatusCode + 2 - ecwire::reg::AlStatus;
constexpr uint16_t kCodeOffset = ecwire::reg::AlStatusCode - ecwire::reg::AlStatus;
// A state with the error indication is not that state.
constexpr uint16_t kStateAndError = StateMask | ErrorFlag;

bool singleState(uint16_t s)
{
    const uint16_t st = s & StateMask;
    return st == ecwire::al::Init || st == ecwire::al::PreOp || st == ecwire::al::SafeOp
        || st == ecwire::al::Op;
}

void setRead(ec_slavet &s, uint16_t status, uint16_t code)
{
    s.state = status;
    s.al_last = status;
    s.ALstatuscode = code;
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
            if (back && d[k].wkc == 1)
                setRead(s, ecwire::getU16(d[k].data), ecwire::getU16(d[k].data + kCodeOffset));
            else
                setRead(s, EC_STATE_NONE, s.ALstatuscode);
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
    if (fprd(c, s.configadr, ecwire::reg::AlStatus, b, kStatusReadLen) == 1)
        setRead(s, ecwire::getU16(b), ecwire::getU16(b + kCodeOffset));
    else
        setRead(s, EC_STATE_NONE, s.ALstatuscode);
    return s.state;
}

// Every slave's state into the slave list; returns the lowest state, with
// the error bit when any slave shows it.
uint16_t readAll(ecx_contextt *c)
{
    uint8_t b[2] = {};
    const int wkc = transfer(c, ecwire::Command::BRD, ecwire::makeAddress(0, ecwire::reg::AlStatus), b, 2,
                             EC_TIMEOUTRET, 1);
    const uint16_t all = ecwire::getU16(b);
    // The broadcast read ORs the slaves' values: a single state without
    // the error bit from every slave means they all agree.
    if (wkc == c->slavecount && singleState(all) && !(all & ErrorFlag)) {
        for (int i = 1; i <= c->slavecount; ++i)
            setRead(c->slavelist[i], all, 0);
        c->slavelist[0].state = all;
        return all;
    }
    if (wkc == EC_NOFRAME) {
        // Nothing came back: no slave answered.
        for (int i = 0; i <= c->slavecount; ++i)
            c->slavelist[i].state = EC_STATE_NONE;
        for (int i = 1; i <= c->slavecount; ++i)
            c->slavelist[i].al_last = EC_STATE_NONE;
        return EC_STATE_NONE;
    }
    readEach(c);
    c->slavelist[0].state = lowestState(c);
    return c->slavelist[0].state;
}

bool reached(const ec_slavet &s, uint16_t reqstate)
{
    return (s.state & kStateAndError) == (reqstate & kStateAndError);
}

} // namespace

uint16_t ecmaster::alRequest(uint16_t state, uint16_t current)
{
    return (current & ErrorFlag) ? uint16_t(state | ecwire::al::ErrorFlag) : state;
}

int ecmaster::requestState(ecx_contextt *c, int slave, uint16_t state)
{
    const ec_slavet &s = c->slavelist[slave];
    return fpwrU16(c, s.configadr, ecwire::reg::AlControl, alRequest(state, s.al_last));
}

extern "C" int ecx_readstate(ecx_contextt *context)
{
    if (!engineOf(context) || context->slavecount <= 0)
        return 0;
    const uint16_t lowest = readAll(context);
    // A slave that shows an error says so once, with its AL status code.
    for (int i = 1; i <= context->slavecount; ++i) {
        ec_slavet &s = context->slavelist[i];
        if (s.state & ErrorFlag)
            reportAlStatus("ecx_readstate", s, i, 0, true);
        else if (s.state != EC_STATE_NONE)
            s.al_reported = 0;
    }
    return lowest;
}

extern "C" int ecx_writestate(ecx_contextt *context, uint16 slave)
{
    if (!engineOf(context))
        return EC_NOFRAME;
    if (slave == 0) {
        uint16_t errors = 0;
        for (int i = 1; i <= context->slavecount; ++i)
            errors |= context->slavelist[i].al_last & ErrorFlag;
        return bwrU16(context, ecwire::reg::AlControl, alRequest(context->slavelist[0].state, errors));
    }
    if (slave > context->slavecount)
        return 0;
    return requestState(context, slave, context->slavelist[slave].state);
}

extern "C" uint16 ecx_statecheck(ecx_contextt *context, uint16 slave, uint16 reqstate, int timeout)
{
    if (!engineOf(context) || slave > context->slavecount)
        return EC_STATE_NONE;
    const int64_t deadline = nowUs() + (timeout > 0 ? timeout : 0);
    PollPacer pacer;
    for (;;) {
        uint16_t state;
        bool all = true;
        if (slave == 0) {
            state = readAll(context);
            // Reached only when every slave reports the requested state
            // without the error indication.
            all = context->slavecount > 0;
            for (int i = 1; i <= context->slavecount; ++i)
                all = all && reached(context->slavelist[i], reqstate);
        } else {
            state = readOne(context, slave);
            all = reached(context->slavelist[slave], reqstate);
        }
        if (all)
            return state;
        const int64_t left = deadline - nowUs();
        if (left <= 0) {
            // Each slave that did not get there says where it is and why.
            const int from = slave == 0 ? 1 : slave;
            const int to = slave == 0 ? context->slavecount : slave;
            for (int i = from; i <= to; ++i)
                if (!reached(context->slavelist[i], reqstate))
                    reportAlStatus("ecx_statecheck", context->slavelist[i], i, reqstate, false);
            return state;
        }
        pacer.wait(deadline);
    }
}
