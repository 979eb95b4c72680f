// Our master's context wired to the in-process slave model (SimTransport),
// with its process image.
#pragma once

#include "bring_up.h"
#include "sim_transport.h"

#include <ethercat/diagnostics.h>
#include <soem/soem.h>

#include <cstring>
#include <memory>

// Our master's working counter for one exchange of group 0 when every slave answers.
inline int expectedWkcOf(const ecx_contextt *c)
{
    return ethercat::diagnostics(c).expectedWkc[0];
}

// Whether our master took a size of either direction of slave `slave` from the CoE objects.
inline bool sizesFromCoe(const ecx_contextt *c, int slave)
{
    const ethercat::Diagnostics d = ethercat::diagnostics(c);
    if (size_t(slave) >= d.slaves.size())
        return false;
    const ethercat::SlaveDiagnostics &s = d.slaves[size_t(slave)];
    return s.outputsFrom == ethercat::SizeSource::CoE || s.inputsFrom == ethercat::SizeSource::CoE;
}

// The master's own record of a context (engine.h), copied out and back in:
// for a test that copies a context with memcpy and wants the master to take
// the copy for the same bus.
class SavedMasterRecord {
public:
    explicit SavedMasterRecord(const ecx_contextt *c);
    void restoreTo(const ecx_contextt *c) const;

private:
    std::shared_ptr<const void> record_;
};

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
    int expectedWkc() const { return expectedWkcOf(ctx.get()); }
    bool sizesFromCoe(int slave) const { return ::sizesFromCoe(ctx.get(), slave); }

    SimTransport sim;
    std::unique_ptr<ecx_contextt> ctx;
    uint8_t iomap[8192];
};
