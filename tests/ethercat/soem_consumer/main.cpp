// Calls every SOEM function the pressure link uses, through <soem/soem.h>.
#include <soem/soem.h>

#include "bring_up.h" // tests/support: the tests' bring-up, written against <soem/soem.h> alone
#include "connect_steps.h" // the link's waits, also against <soem/soem.h> alone

#include <cstdio>
#include <cstring>

static ecx_contextt ctx;
static uint8 iomap[4096];

static int bringUp(const char *ifname)
{
    std::memset(&ctx, 0, sizeof ctx);
    if (!ecx_init(&ctx, ifname))
        return 0;
    if (bringUpBus(&ctx, iomap, sizeof iomap, ecat::kSafeOpTimeoutUs, ecat::kOpTimeoutUs) < 0) {
        ecx_close(&ctx);
        return 0;
    }
    ecx_readstate(&ctx);
    const int ok = ctx.slavecount > 0 && ctx.slavelist[1].inputs != nullptr && ctx.slavelist[1].Ibytes >= 5
        && ctx.slavelist[1].state == EC_STATE_OPERATIONAL;
    ctx.slavelist[0].state = EC_STATE_INIT;
    ecx_writestate(&ctx, 0);
    ecx_close(&ctx);
    return ok;
}

#ifdef WITH_LINK
#include "pressure_link.h"
#endif

int main(int argc, char **argv)
{
    ec_adaptert *list = ec_find_adapters();
    for (ec_adaptert *a = list; a; a = a->next)
        std::printf("%s %s\n", a->name, a->desc);
    ec_free_adapters(list);
#ifdef WITH_LINK
    // Links the pressure link's calls too; never run here.
    if (argc > 2) {
        ecat_disconnect();
        return 0;
    }
#endif
    // Only touches an adapter when asked to.
    if (argc > 1)
        return bringUp(argv[1]) ? 0 : 1;
    return EC_NOFRAME == -1 ? 0 : 1;
}
