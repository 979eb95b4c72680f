// The timing settings that a device option on the bus list and a control
// command change by name.
#include "devices.h"

namespace ecsim {

namespace {
constexpr uint64_t MaxMs = 60'000;
constexpr uint64_t MaxUs = 1'000'000;
} // namespace

bool timingInMicroseconds(const std::string &name) { return name == "sii-busy"; }

uint64_t timingLimit(const std::string &name) { return timingInMicroseconds(name) ? MaxUs : MaxMs; }

bool setTiming(DeviceTiming &t, const std::string &name, uint64_t value)
{
    if (value > timingLimit(name))
        return false;
    if (name == "al-delay")
        t.alNs = t.safeOpNs = value * 1'000'000;
    else if (name == "sdo-delay")
        t.mailboxNs = value * 1'000'000;
    else if (name == "eeprom-loading")
        t.eepromLoadNs = value * 1'000'000;
    else if (name == "sii-busy")
        t.siiReadNs = value * 1'000;
    else
        return false;
    return true;
}

} // namespace ecsim
