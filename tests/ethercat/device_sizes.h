// What the devices of a simulated bus say of themselves: the process-data
// sizes their descriptions (object dictionary, SII) give, read from a model
// of the same bus, and the content of a model slave's EEPROM.
#pragma once

#include <ecsim/bus.h>
#include <ecwire/sii.h>

#include <cstdint>
#include <string>
#include <vector>

struct DeviceSizes {
    uint32_t inputBytes = 0;
    uint32_t outputBytes = 0;
};

// One entry per slave of `bus` (a --slaves list); empty for an unknown kind.
std::vector<DeviceSizes> deviceSizes(const std::string &bus);

// What the EEPROM of the slave at `position` (0 = first) holds.
const ecwire::SiiDevice &deviceSii(ecsim::Bus &bus, size_t position);

