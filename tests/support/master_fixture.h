// Our master's context wired to the in-process slave model (SimTransport),
// with its process image.
#pragma once

#include "bring_up.h"
#include "sim_transport.h"

#include <soem/soem.h>

#include <cstring>
#include <memory>

struct MasterOnSim {
    explicit MasterOnSim(const std::string &slaves) : sim(slaves), ctx(new ecx_contextt)
    {
        std::memset(ctx.get(), 0, sizeof(ecx_contextt));
        std::memset(iomap, 0, sizeof iomap);
        if (sim.ok())
            ecx_init_transport(ctx.get(), &sim);
    }
    ~MasterOnSim() { ecx_close(ctx.get()); }

    ecx_contextt *c() { return ctx.get(); }
    ec_slavet &slave(int i) { return ctx->slavelist[i]; }

    // The model answers within the frame: a short wait for its states.
    static constexpr int kShortWaitUs = 200000;

    // bringUpBus() with its waits (short ones unless given). Returns the
    // mapped image size, or -1 when enumeration failed.
    int bringUp(int safeOpTimeoutUs = kShortWaitUs, int opTimeoutUs = kShortWaitUs)
    {
        return bringUpBus(c(), iomap, sizeof iomap, safeOpTimeoutUs, opTimeoutUs);
    }

    int exchange(int timeoutUs = 2000) { return exchangeProcessData(c(), timeoutUs); }

    SimTransport sim;
    std::unique_ptr<ecx_contextt> ctx;
    uint8_t iomap[8192];
};
