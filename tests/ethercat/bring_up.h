// The pressure link's bring-up of the master, for tests: configure, map,
// distributed clocks, SAFE-OP, one exchange, OP. Each wait ends as soon as
// the state is there.
#ifndef TESTS_MASTER_BRING_UP_H
#define TESTS_MASTER_BRING_UP_H

#include <soem/soem.h>

// Returns the mapped image size, or -1 when no slave was found.
inline int linkBringUp(ecx_contextt *c, void *iomap, int safeOpTimeoutUs, int opTimeoutUs)
{
    if (ecx_config_init(c) <= 0)
        return -1;
    const int size = ecx_config_map_group(c, iomap, 0);
    ecx_configdc(c);
    ecx_statecheck(c, 0, EC_STATE_SAFE_OP, safeOpTimeoutUs);
    ecx_send_processdata(c);
    ecx_receive_processdata(c, 2000);
    c->slavelist[0].state = EC_STATE_OPERATIONAL;
    ecx_writestate(c, 0);
    ecx_statecheck(c, 0, EC_STATE_OPERATIONAL, opTimeoutUs);
    return size;
}

#endif
