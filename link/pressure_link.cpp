// The pressure link over the EtherCAT master: one master context for the
// whole process, brought up by ecat_connect and taken down by ecat_disconnect.
// The connect tells each of its steps to an observer when the caller brings
// one (ecat::connectWatched, for the bus check); the window's brings none.
#include "pressure_link.h"
#include "connect_steps.h"
#include <ecwire/sensor_image.h>
#include <soem/soem.h>

#include <cstdio>
#include <cstring>

using ecat::ConnectStep;
using ecat::kImageBytes;
using ecat::kOpTimeoutUs;
using ecat::kProcessDataTimeoutUs;
using ecat::kSafeOpTimeoutUs;

namespace {

constexpr int kSensorSlave = 1;  // the sensor is the first slave on the bus

}  // namespace

// Module state, zero at program start.
ecx_contextt ecat_ctx;
unsigned char ecat_iomap[kImageBytes];
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

// Where a connect is, told to its observer when it has one.
class Steps {
public:
    explicit Steps(ecat::ConnectObserver *observer) : observer_(observer) {}

    void begin(ConnectStep step)
    {
        step_ = step;
        if (observer_)
            observer_->started(step);
    }

    int end(int result)
    {
        if (observer_)
            observer_->finished(step_, result);
        return result;
    }

    // Ends the connect after the current step: says why on stderr and
    // releases the adapter if this attempt opened it.
    int refuse(const char *ifname, const char *why)
    {
        std::fprintf(stderr, "pressure link: %s: %s\n", ifname, why);
        closeAdapter();
        if (observer_)
            observer_->refused(step_, why);
        return 0;
    }

private:
    ecat::ConnectObserver *observer_;
    ConnectStep step_ = ConnectStep::OpenAdapter;
};

}  // namespace

bool ecat::qualifiesAsSensor(const ec_slavet &slave)
{
    return slave.inputs != nullptr && slave.Ibytes >= ecwire::sensor::ImageSize;
}

extern "C" int ecat_connect(const char *ifname)
{
    return ecat::connectWatched(ifname, nullptr);
}

int ecat::connectWatched(const char *ifname, ecat::ConnectObserver *observer)
{
    if (!ifname)
        ifname = "";
    Steps step(observer);
    // A connect replaces whatever the link held: the earlier adapter is
    // released before the context that refers to it is cleared, and the link
    // stays down unless this attempt succeeds.
    ecat_link_up = 0;
    closeAdapter();
    std::memset(&ecat_ctx, 0, sizeof ecat_ctx);

    step.begin(ConnectStep::OpenAdapter);
    if (step.end(ecx_init(&ecat_ctx, ifname)) <= 0)
        return step.refuse(ifname[0] ? ifname : "(no adapter name)",
                           "cannot open the adapter for EtherCAT frames");
    ecat_adapter_open = 1;

    step.begin(ConnectStep::FindSlaves);
    const int slaves = step.end(ecx_config_init(&ecat_ctx));
    if (slaves <= 0)
        return step.refuse(ifname, "no EtherCAT slave answered (bus configuration found no slaves)");

    step.begin(ConnectStep::MapProcessData);
    const int imageSize = step.end(ecx_config_map_group(&ecat_ctx, ecat_iomap, 0));
    if (imageSize > kImageBytes) {
        char why[160];
        std::snprintf(why, sizeof why,
                      "process data of the bus is %d bytes, more than the %d-byte image", imageSize,
                      kImageBytes);
        return step.refuse(ifname, why);
    }
    const ec_slavet &sensor = ecat_ctx.slavelist[kSensorSlave];
    if (!ecat::qualifiesAsSensor(sensor)) {
        char why[160];
        std::snprintf(why, sizeof why,
                      "slave 1 has %u input bytes, expected at least %u (flags and pressure)",
                      unsigned(sensor.inputs ? sensor.Ibytes : 0), unsigned(ecwire::sensor::ImageSize));
        return step.refuse(ifname, why);
    }

    step.begin(ConnectStep::ConfigureClocks);
    step.end(ecx_configdc(&ecat_ctx));
    step.begin(ConnectStep::WaitSafeOp);
    step.end(ecx_statecheck(&ecat_ctx, 0, EC_STATE_SAFE_OP, kSafeOpTimeoutUs));

    step.begin(ConnectStep::FirstExchange);
    ecx_send_processdata(&ecat_ctx);
    step.end(ecx_receive_processdata(&ecat_ctx, kProcessDataTimeoutUs));

    ecat_ctx.slavelist[0].state = EC_STATE_OPERATIONAL;
    step.begin(ConnectStep::RequestOp);
    step.end(ecx_writestate(&ecat_ctx, 0));
    step.begin(ConnectStep::WaitOp);
    step.end(ecx_statecheck(&ecat_ctx, 0, EC_STATE_OPERATIONAL, kOpTimeoutUs));

    ecat_link_up = 1;
    return 1;
}

const ecx_contextt &ecat::context()
{
    return ecat_ctx;
}

std::vector<ecat::MasterError> ecat::takeMasterErrors()
{
    std::vector<MasterError> out;
    ec_errort e;
    while (ecx_poperror(&ecat_ctx, &e)) {
        std::string text = ecx_err2string(e);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        out.push_back({e, text});
    }
    return out;
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
