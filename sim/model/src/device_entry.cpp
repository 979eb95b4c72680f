// A device on the bus list: "kind[+option[+option=value...]]".
#include "command_words.h"
#include "device_build.h"

namespace ecsim {

bool describeDevice(const std::string &entry, DeviceDescription &out, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    const std::vector<std::string> parts = splitTrimmed(entry, '+');
    DeviceBuild b;
    if (!baseDevice(parts[0], b))
        return fail("unknown device kind '" + parts[0] + "' (known: " + deviceKindList() + ")");
    for (size_t i = 1; i < parts.size(); ++i) {
        if (parts[i].empty())
            return fail("empty option in '" + entry + "'");
        std::string why;
        if (!applyDeviceOption(parts[i], b, &why))
            return fail(parts[0] + ": " + why);
    }
    std::string why;
    if (!finishDevice(b, &why))
        return fail(parts[0] + ": " + why);
    b.d.entry = trimmed(entry);
    out = std::move(b.d);
    return true;
}

} // namespace ecsim
