// Options of a device on the bus list: what the ESC and the firmware behind
// it do differently from the kind's own device.
#include <cerrno>
#include <cstdlib>

#include "device_build.h"

namespace ecsim {

namespace {

constexpr uint64_t SlowSafeOpNs = 300'000'000;  // "slow": 300 ms for SAFE-OP
constexpr uint64_t SlowMailboxNs = 1'000'000'000; // and 1 s for an SDO reply
constexpr uint64_t MaxMs = 60'000;
constexpr uint64_t MaxUs = 1'000'000;

bool number(const std::string &text, uint64_t max, uint64_t &out)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    errno = 0;
    const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v > max)
        return false;
    out = v;
    return true;
}

} // namespace

std::string deviceOptionList()
{
    return "keep-mac, stale-reply, slow, al-delay=MS, sdo-delay=MS, sii4, sii8, sii-busy=US, eeprom-loading=MS, "
           "no-dc, dc32, no-lrw";
}

bool applyDeviceOption(const std::string &option, DeviceBuild &b, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    const size_t eq = option.find('=');
    const std::string name = option.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? option.substr(eq + 1) : std::string();
    DeviceDescription &d = b.d;
    DeviceTiming &t = d.timing;

    const bool ms = name == "al-delay" || name == "sdo-delay" || name == "eeprom-loading";
    const bool us = name == "sii-busy";
    if (ms || us) {
        uint64_t v = 0;
        if (!hasValue || !number(value, ms ? MaxMs : MaxUs, v))
            return fail("option " + name + " needs a whole number of " + (ms ? "milliseconds" : "microseconds")
                        + " up to " + std::to_string(ms ? MaxMs : MaxUs) + ", as in " + name + "=" + (ms ? "20" : "300"));
        if (name == "sdo-delay" && !b.mailbox)
            return fail("option sdo-delay needs a mailbox, and this device has none");
        if (name == "al-delay")
            t.alNs = t.safeOpNs = v * 1'000'000;
        else if (name == "sdo-delay")
            t.mailboxNs = v * 1'000'000;
        else if (name == "eeprom-loading")
            t.eepromLoadNs = v * 1'000'000;
        else
            t.siiReadNs = v * 1'000;
        return true;
    }
    if (hasValue)
        return fail("option " + name + " takes no value");
    if (name == "keep-mac") {
        d.marksReturned = false;
    } else if (name == "stale-reply") {
        if (!d.coe)
            return fail("option stale-reply needs a CoE mailbox, and this device has none");
        d.staleReply = true;
    } else if (name == "slow") {
        t.safeOpNs = SlowSafeOpNs;
        if (b.mailbox)
            t.mailboxNs = SlowMailboxNs;
    } else if (name == "sii4" || name == "sii8") {
        d.sii8ByteReads = name == "sii8";
    } else if (name == "no-dc") {
        d.dc = false;
    } else if (name == "dc32") {
        d.dc = true;
        d.dc64 = false;
    } else if (name == "no-lrw") {
        d.lrw = false;
    } else {
        return fail("unknown option '" + name + "' (known: " + deviceOptionList() + ")");
    }
    return true;
}

} // namespace ecsim
