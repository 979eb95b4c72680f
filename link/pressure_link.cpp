// The pressure link over the EtherCAT master: one master context for the
// whole process, brought up by ecat_connect and taken down by ecat_disconnect.
#include "pressure_link.h"
#include <ecwire/sensor_image.h>
#include <soem/soem.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kIomapSize = 4096;
constexpr int kSafeOpTimeoutUs = 8000000;
constexpr int kOpTimeoutUs = 2000000;
constexpr int kProcessDataTimeoutUs = 2000;
constexpr int kSensorSlave = 1;  // the sensor is the first slave on the bus

}  // namespace

// Module state, zero at program start.
ecx_contextt ecat_ctx;
unsigned char ecat_iomap[kIomapSize];
int ecat_link_up;
int ecat_last_wkc;

namespace {

// 1 while ecat_ctx holds an open adapter (from a successful ecx_init until
// ecx_close), so that nothing is sent through or closed on a port that is not
// there.
int ecat_adapter_open;

void closeAdapter()
{
    if (ecat_adapter_open) {
        ecx_close(&ecat_ctx);
        ecat_adapter_open = 0;
    }
}

// Ends a connect attempt that got as far as opening the adapter.
int refuse(const char *ifname, const char *why)
{
    std::fprintf(stderr, "pressure link: %s: %s\n", ifname, why);
    closeAdapter();
    return 0;
}

}  // namespace

extern "C" int ecat_connect(const char *ifname)
{
    if (!ifname)
        ifname = "";
    // A connect replaces whatever the link held: the earlier adapter is
    // released before the context that refers to it is cleared, and the link
    // stays down unless this attempt succeeds.
    ecat_link_up = 0;
    closeAdapter();
    std::memset(&ecat_ctx, 0, sizeof ecat_ctx);

    if (ecx_init(&ecat_ctx, ifname) <= 0) {
        std::fprintf(stderr, "pressure link: %s: cannot open the adapter for EtherCAT frames\n",
                     ifname[0] ? ifname : "(no adapter name)");
        return 0;
    }
    ecat_adapter_open = 1;

    const int slaves = ecx_config_init(&ecat_ctx);
    if (slaves <= 0)
        return refuse(ifname, "no EtherCAT slave answered (bus configuration found no slaves)");

    const int imageSize = ecx_config_map_group(&ecat_ctx, ecat_iomap, 0);
    if (imageSize > kIomapSize) {
        char why[160];
        std::snprintf(why, sizeof why,
                      "process data of the bus is %d bytes, more than the %d-byte image", imageSize,
                      kIomapSize);
        return refuse(ifname, why);
    }
    const ec_slavet &sensor = ecat_ctx.slavelist[kSensorSlave];
    if (sensor.inputs == nullptr || sensor.Ibytes < ecwire::sensor::ImageSize) {
        char why[160];
        std::snprintf(why, sizeof why,
                      "slave 1 has %u input bytes, expected at least %u (flags and pressure)",
                      unsigned(sensor.inputs ? sensor.Ibytes : 0), unsigned(ecwire::sensor::ImageSize));
        return refuse(ifname, why);
    }

    ecx_configdc(&ecat_ctx);
    ecx_statecheck(&ecat_ctx, 0, EC_STATE_SAFE_OP, kSafeOpTimeoutUs);

    ecx_send_processdata(&ecat_ctx);
    ecx_receive_processdata(&ecat_ctx, kProcessDataTimeoutUs);

    ecat_ctx.slavelist[0].state = EC_STATE_OPERATIONAL;
    ecx_writestate(&ecat_ctx, 0);
    ecx_statecheck(&ecat_ctx, 0, EC_STATE_OPERATIONAL, kOpTimeoutUs);

    ecat_link_up = 1;
    return 1;
}

extern "C" int ecat_read(float *pressure, int *valid, int *over, int *under)
{
    ecx_send_processdata(&ecat_ctx);
    const int wkc = ecx_receive_processdata(&ecat_ctx, kProcessDataTimeoutUs);
    ecat_last_wkc = wkc;
    const uint8 *inputs = ecat_ctx.slavelist[kSensorSlave].inputs;
    if (wkc < 1 || inputs == nullptr)
        return 0;

    const ecwire::sensor::Reading r = ecwire::sensor::decode(inputs);
    *pressure = r.pressure;
    *valid = r.valid;
    *over = r.over;
    *under = r.under;
    return 1;
}

extern "C" int ecat_check(int *state, int *wkc)
{
    if (!ecat_link_up)
        return 0;
    ecx_readstate(&ecat_ctx);
    const int slaveState = ecat_ctx.slavelist[kSensorSlave].state;
    if (state)
        *state = slaveState;
    if (wkc)
        *wkc = ecat_last_wkc;
    return (slaveState == EC_STATE_OPERATIONAL && ecat_last_wkc >= 1) ? 1 : 0;
}

extern "C" void ecat_disconnect(void)
{
    ecat_link_up = 0;
    if (!ecat_adapter_open)
        return;
    ecat_ctx.slavelist[0].state = EC_STATE_INIT;
    ecx_writestate(&ecat_ctx, 0);
    closeAdapter();
}
