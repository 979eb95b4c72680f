// The pressure link's bring-up of the master, for the tests, the benchmarks
// and the fuzz targets (the link keeps its own, which is the product's):
// configure, map, distributed clocks, SAFE-OP, one exchange, OP. Each wait
// ends as soon as every slave is there. Written against <soem/soem.h> alone,
// so that a project built on an installed SOEM package uses it too.
#pragma once

#include <soem/soem.h>

#include <cstddef>
#include <functional>

enum class BringUpStep { Configured, Mapped, ClocksSet, SafeOp, Op };

// Returns the size of the mapped image, or -1 when no slave answered or the
// image does not fit `iomapSize`. The bus's state after the OP request is in
// slavelist[0].state. `after` (the benchmark times the steps) is called after
// each step.
inline int bringUpBus(ecx_contextt *c, uint8 *iomap, size_t iomapSize, int safeOpTimeoutUs, int opTimeoutUs,
                      const std::function<void(BringUpStep)> &after = {})
{
    const auto done = [&after](BringUpStep step) {
        if (after)
            after(step);
    };
    if (ecx_config_init(c) <= 0)
        return -1;
    done(BringUpStep::Configured);
    const int size = ecx_config_map_group(c, iomap, 0);
    if (size < 0 || static_cast<size_t>(size) > iomapSize)
        return -1;
    done(BringUpStep::Mapped);
    ecx_configdc(c);
    done(BringUpStep::ClocksSet);
    ecx_statecheck(c, 0, EC_STATE_SAFE_OP, safeOpTimeoutUs);
    ecx_send_processdata(c);
    ecx_receive_processdata(c, 2000);
    done(BringUpStep::SafeOp);
    c->slavelist[0].state = EC_STATE_OPERATIONAL;
    ecx_writestate(c, 0);
    ecx_statecheck(c, 0, EC_STATE_OPERATIONAL, opTimeoutUs);
    done(BringUpStep::Op);
    return size;
}

// A test over a veth pair that checks what comes back rather than when waits
// this long for a process-data reply. The link's 2 ms is the product's
// rhythm; on a loaded test machine (sanitizers, tests side by side) the
// simulator may be scheduled later than that, and a reply that comes late is
// dropped by the next receive as a stale frame, never taken for its answer.
constexpr int kPatientReceiveUs = 500000;

inline int exchangeProcessData(ecx_contextt *c, int timeoutUs = kPatientReceiveUs)
{
    ecx_send_processdata(c);
    return ecx_receive_processdata(c, timeoutUs);
}
