// What the devices of a simulated bus say of themselves: the process-data
// sizes their descriptions (object dictionary, SII) give, read from a model
// of the same bus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DeviceSizes {
    uint32_t inputBytes = 0;
    uint32_t outputBytes = 0;
};

// One entry per slave of `bus` (a --slaves list); empty for an unknown kind.
std::vector<DeviceSizes> deviceSizes(const std::string &bus);

