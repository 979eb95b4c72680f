// The master wired to the in-process slave model, for fuzz targets and seed
// programs: every frame the master sends goes to ecsim::Bus::handleFrame and
// the reply is queued for the master's next receive. Every exchange is kept,
// so a seed program can save what went over the wire.
//
// receive() returns -1 (adapter failed) instead of waiting when nothing is
// queued: the master then gives up at once rather than spinning until its
// timeout, which keeps fuzzing fast.
#pragma once

#include <ecmaster/transport.h>
#include <ecsim/bus.h>
#include <soem/soem.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace fuzzbus {

struct Exchange {
    std::vector<uint8_t> request;
    std::vector<uint8_t> reply; // empty when the model dropped the frame
};

class BusTransport : public ecmaster::Transport {
public:
    explicit BusTransport(ecsim::Bus &bus) : bus_(bus) {}

    bool send(const uint8_t *frame, size_t len) override
    {
        Exchange x;
        x.request.assign(frame, frame + len);
        if (bus_.handleFrame(frame, len, x.reply))
            queue_.push_back(x.reply);
        else
            x.reply.clear();
        if (keepLog)
            log.push_back(std::move(x));
        return true;
    }

    int receive(uint8_t *buf, size_t capacity, int /*timeoutUs*/) override
    {
        if (queue_.empty())
            return -1;
        const std::vector<uint8_t> f = std::move(queue_.front());
        queue_.pop_front();
        const size_t n = f.size() < capacity ? f.size() : capacity;
        std::memcpy(buf, f.data(), n);
        return static_cast<int>(n);
    }

    bool keepLog = true;
    std::vector<Exchange> log;

private:
    ecsim::Bus &bus_;
    std::deque<std::vector<uint8_t>> queue_;
};

// A clock for the model that advances a fixed step on every reading, so that
// the same frames always give the same replies (profiles, busy flags and
// distributed-clock times included).
inline std::function<uint64_t()> steppingClock(uint64_t startNs = 1000000000ull, uint64_t stepNs = 1000)
{
    auto t = std::make_shared<uint64_t>(startNs);
    return [t, stepNs] { return *t += stepNs; };
}

// The pressure link's bring-up with short waits: configure, map, distributed
// clocks, SAFE-OP, one exchange, OP. Returns the image size, or -1 when no
// slave was found or the image does not fit.
inline int bringUp(ecx_contextt *ctx, uint8_t *iomap, size_t iomapSize)
{
    if (ecx_config_init(ctx) <= 0)
        return -1;
    const int size = ecx_config_map_group(ctx, iomap, 0);
    if (size < 0 || static_cast<size_t>(size) > iomapSize)
        return -1;
    ecx_configdc(ctx);
    ecx_statecheck(ctx, 0, EC_STATE_SAFE_OP, 50000);
    ecx_send_processdata(ctx);
    ecx_receive_processdata(ctx, 2000);
    ctx->slavelist[0].state = EC_STATE_OPERATIONAL;
    ecx_writestate(ctx, 0);
    ecx_statecheck(ctx, 0, EC_STATE_OPERATIONAL, 50000);
    return size;
}

} // namespace fuzzbus
