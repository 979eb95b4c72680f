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

using namespace ethercat;
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

void setRead(ecx_contextt *c, int slave, uint16_t status, uint16_t code)
{
    ec_slavet &s = c->slavelist[slave];
    s.state = status;
    s.ALstatuscode = code;
    bookOf(c, slave).alLast = status;
}

// One datagram per slave, each `length` bytes at register `ado` of its
// station address, in one frame (more frames when they do not fit), each
// frame sent up to `tries` times while it does not come back. `fill(slave,
// data)` sets what a datagram carries (all zero otherwise); `done(slave,
// data, wkc)` sees what came back, with wkc EC_NOFRAME when its frame did
// not (`slave` is the slave's number).
template <typename Fill, typename Done>
void perSlave(ecx_contextt *c, ecwire::Command command, uint16_t ado, uint16_t length, int timeoutUs, int tries,
              Fill fill, Done done)
{
    Engine *e = engineOf(c);
    const int n = c->slavecount;
    constexpr int kPerFrame = 64; // 64 * (12 + 6) bytes fit in one frame
    std::vector<uint8_t> buf(size_t(kPerFrame) * length);
    Datagram d[kPerFrame];
    for (int first = 1; first <= n; first += kPerFrame) {
        const int count = std::min(kPerFrame, n - first + 1);
        std::fill(buf.begin(), buf.end(), 0);
        for (int k = 0; k < count; ++k) {
            const ec_slavet &s = c->slavelist[first + k];
            d[k] = Datagram{};
            d[k].command = command;
            d[k].address = ecwire::makeAddress(s.configadr, ado);
            d[k].data = buf.data() + size_t(k) * length;
            d[k].length = length;
            fill(first + k, d[k].data);
        }
        bool back = false;
        for (int t = 0; e && t < tries && !back; ++t)
            back = exchange(*e, d, size_t(count), timeoutUs) == 1;
        for (int k = 0; k < count; ++k)
            done(first + k, d[k].data, back ? int(d[k].wkc) : EC_NOFRAME);
    }
}

// Reads every slave's AL status and code in one frame of FPRDs (more
// frames when they do not fit). A slave that does not answer reads 0.
void readEach(ecx_contextt *c)
{
    perSlave(
        c, ecwire::Command::FPRD, ecwire::reg::AlStatus, kStatusReadLen, EC_TIMEOUTRET, 1,
        [](int, uint8_t *) {},
        [c](int slave, const uint8_t *data, int wkc) {
            if (wkc == 1)
                setRead(c, slave, ecwire::getU16(data), ecwire::getU16(data + kCodeOffset));
            else
                setRead(c, slave, EC_STATE_NONE, c->slavelist[slave].ALstatuscode);
        });
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
    return c->slavecount > 0 ? uint16_t(low | err) : uint16_t(EC_STATE_NONE);
}

uint16_t readOne(ecx_contextt *c, uint16_t slave)
{
    uint8_t b[kStatusReadLen] = {};
    ec_slavet &s = c->slavelist[slave];
    if (fprd(c, s.configadr, ecwire::reg::AlStatus, b, kStatusReadLen) == 1)
        setRead(c, slave, ecwire::getU16(b), ecwire::getU16(b + kCodeOffset));
    else
        setRead(c, slave, EC_STATE_NONE, s.ALstatuscode);
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
            setRead(c, i, all, 0);
        c->slavelist[0].state = all;
        return all;
    }
    if (wkc == EC_NOFRAME) {
        // Nothing came back: no slave answered.
        for (int i = 0; i <= c->slavecount; ++i)
            c->slavelist[i].state = EC_STATE_NONE;
        for (int i = 1; i <= c->slavecount; ++i)
            bookOf(c, i).alLast = EC_STATE_NONE;
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

// Each slave of [from, to] that is not in `reqstate` says where it is and why.
void reportNotReached(ecx_contextt *c, int from, int to, uint16_t reqstate)
{
    for (int i = from; i <= to; ++i)
        if (!reached(c->slavelist[i], reqstate))
            reportAlStatus(c, "ecx_statecheck", i, reqstate, false);
}

// Every slave's own request in one frame of FPWRs (more frames when they do
// not fit): the error acknowledge goes only to those that show an error.
// Returns how many slaves took it, or EC_NOFRAME when nothing came back.
int requestEach(ecx_contextt *c, uint16_t state)
{
    int took = 0;
    bool any = false;
    perSlave(
        c, ecwire::Command::FPWR, ecwire::reg::AlControl, 2, kConfigTimeoutUs, 3,
        [c, state](int slave, uint8_t *data) { ecwire::putU16(data, alRequest(c, slave, state)); },
        [&](int, const uint8_t *, int wkc) {
            if (wkc == EC_NOFRAME)
                return;
            any = true;
            took += wkc;
        });
    return any ? took : EC_NOFRAME;
}

// A slave that has not answered a state read for this long is taken for gone.
constexpr int64_t kSilentUs = 1000000;
// An error indication shown on the way to INIT is acknowledged again at most this often.
constexpr int64_t kAckEveryUs = 100000;

// Waits for every slave to reach `reqstate`. With `configuring` it
// acknowledges errors on the way to INIT and ends early once every slave not
// there has refused or fallen silent (see awaitState).
uint16_t waitAll(ecx_contextt *c, uint16_t reqstate, int timeoutUs, bool configuring)
{
    const int n = c->slavecount;
    const int64_t start = nowUs();
    const int64_t deadline = start + (timeoutUs > 0 ? timeoutUs : 0);
    std::vector<uint8_t> errorBefore(size_t(n) + 1, 0);
    std::vector<int64_t> answered(size_t(n) + 1, start), acknowledged(size_t(n) + 1, start - kAckEveryUs);
    for (int i = 1; i <= n; ++i)
        errorBefore[size_t(i)] = (bookOf(c, i).alLast & ErrorFlag) ? 1 : 0;
    const bool toInit = (reqstate & StateMask) == ecwire::al::Init;
    PollPacer pacer;
    for (;;) {
        const uint16_t state = readAll(c);
        const int64_t now = nowUs();
        bool all = n > 0;
        bool givenUp = configuring && n > 0;
        for (int i = 1; i <= n; ++i) {
            ec_slavet &s = c->slavelist[i];
            if (reached(s, reqstate))
                continue;
            all = false;
            if (!configuring)
                continue;
            if (s.state != EC_STATE_NONE)
                answered[size_t(i)] = now;
            const bool silent = now - answered[size_t(i)] >= kSilentUs;
            const bool error = (s.state & ErrorFlag) != 0;
            if (error && toInit) {
                // No slave refuses INIT: what it shows is an error from
                // before, which it keeps until acknowledged.
                if (now - acknowledged[size_t(i)] >= kAckEveryUs) {
                    requestState(c, i, reqstate);
                    acknowledged[size_t(i)] = now;
                }
                givenUp = givenUp && silent;
            } else {
                const bool refused = error && !errorBefore[size_t(i)];
                givenUp = givenUp && (refused || silent);
            }
        }
        if (all)
            return state;
        if (givenUp || now >= deadline) {
            reportNotReached(c, 1, n, reqstate);
            return state;
        }
        pacer.wait(deadline);
    }
}

} // namespace

uint16_t ethercat::alRequest(ecx_contextt *c, int slave, uint16_t state)
{
    const SlaveBook &b = bookOf(c, slave);
    const bool acknowledge = (b.alLast & ErrorFlag) && !b.devEmulation;
    return acknowledge ? uint16_t(state | ecwire::al::ErrorFlag) : state;
}

int ethercat::requestState(ecx_contextt *c, int slave, uint16_t state)
{
    return fpwrU16(c, c->slavelist[slave].configadr, ecwire::reg::AlControl, alRequest(c, slave, state));
}

uint16_t ethercat::awaitState(ecx_contextt *c, uint16_t state, int timeoutUs)
{
    if (!engineOf(c) || c->slavecount <= 0)
        return EC_STATE_NONE;
    return waitAll(c, state, timeoutUs, true);
}

extern "C" int ecx_readstate(ecx_contextt *context)
{
    if (!engineOf(context) || context->slavecount <= 0)
        return 0;
    const uint16_t lowest = readAll(context);
    // A slave that shows an error says so once, with its AL status code.
    for (int i = 1; i <= context->slavecount; ++i) {
        const uint16_t state = context->slavelist[i].state;
        if (state & ErrorFlag)
            reportAlStatus(context, "ecx_readstate", i, 0, true);
        else if (state != EC_STATE_NONE)
            bookOf(context, i).alReported = 0;
    }
    return lowest;
}

extern "C" int ecx_writestate(ecx_contextt *context, uint16 slave)
{
    if (!engineOf(context))
        return EC_NOFRAME;
    if (slave == 0) {
        // One broadcast when no slave needs the acknowledge. Otherwise each
        // slave its own request, the acknowledge only with the requests of
        // slaves whose AL status shows the error: a broadcast with it would
        // show as an error on slaves in device emulation, and a second write
        // to AL control before the firmware read the first is refused by
        // some ESCs (AL control then works like a mailbox) and taken by
        // others, so one write per slave says it once.
        const uint16_t state = context->slavelist[0].state;
        for (int i = 1; i <= context->slavecount; ++i)
            if (alRequest(context, i, state) != state)
                return requestEach(context, state);
        return bwrU16(context, ecwire::reg::AlControl, state);
    }
    if (slave > context->slavecount)
        return 0;
    return requestState(context, slave, context->slavelist[slave].state);
}

extern "C" uint16 ecx_statecheck(ecx_contextt *context, uint16 slave, uint16 reqstate, int timeout)
{
    if (!engineOf(context) || slave > context->slavecount)
        return EC_STATE_NONE;
    // Reached only when every slave reports the requested state without the
    // error indication; at the end of the time each slave that did not get
    // there says where it is and why.
    if (slave == 0)
        return waitAll(context, reqstate, timeout, false);
    const int64_t deadline = nowUs() + (timeout > 0 ? timeout : 0);
    PollPacer pacer;
    for (;;) {
        const uint16_t state = readOne(context, slave);
        if (reached(context->slavelist[slave], reqstate))
            return state;
        if (nowUs() >= deadline) {
            reportNotReached(context, slave, slave, reqstate);
            return state;
        }
        pacer.wait(deadline);
    }
}
