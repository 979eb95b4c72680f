#include "device_sizes.h"

#include <ecsim/bus.h>

#include "slave.h" // the device description behind a model slave

std::vector<DeviceSizes> deviceSizes(const std::string &bus)
{
    std::vector<DeviceSizes> out;
    std::unique_ptr<ecsim::Bus> model = ecsim::Bus::create(bus);
    if (!model)
        return out;
    for (size_t i = 0; i < model->slaveCount(); ++i) {
        const ecsim::DeviceDescription &d = model->slave(i).device();
        out.push_back({d.inputSize, d.outputSize});
    }
    return out;
}

const ecwire::SiiDevice &deviceSii(ecsim::Bus &bus, size_t position)
{
    return bus.slave(position).device().sii;
}
