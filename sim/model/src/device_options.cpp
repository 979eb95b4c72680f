// Options of a device on the bus list: what the ESC, its EEPROM and the
// firmware behind them do differently from the kind's own device. Options
// only record what they ask for; finishDevice checks that they make one
// device and builds it.
#include "command_words.h"
#include "device_build.h"
#include "ecwire/registers.h"

namespace ecsim {

namespace {

constexpr uint64_t SlowSafeOpNs = 300'000'000;  // "slow": 300 ms for SAFE-OP
constexpr uint64_t SlowMailboxNs = 1'000'000'000; // and 1 s for an SDO reply

// A decimal number only: a bus list entry has no hexadecimal values.
bool number(const std::string &text, uint64_t max, uint64_t &out)
{
    return text.find_first_not_of("0123456789") == std::string::npos && parseUnsigned(text, max, out);
}

// Options that choose one of several settings: a second choice is refused.
bool choose(std::string &chosen, const std::string &name, std::string *error)
{
    if (!chosen.empty() && chosen != name) {
        if (error)
            *error = "options " + chosen + " and " + name + " exclude each other";
        return false;
    }
    chosen = name;
    return true;
}

bool timed(const std::string &name, const std::string &value, bool hasValue, DeviceBuild &b, std::string *error)
{
    const bool ms = !timingInMicroseconds(name);
    const uint64_t max = timingLimit(name);
    uint64_t v = 0;
    if (!hasValue || !number(value, max, v) || !setTiming(b.d.timing, name, v)) {
        if (error)
            *error = "option " + name + " needs a whole number of " + (ms ? "milliseconds" : "microseconds")
                + " up to " + std::to_string(max) + ", as in " + name + "=" + (ms ? "20" : "300");
        return false;
    }
    return true;
}

} // namespace

std::string deviceOptionList()
{
    return "keep-mac, no-pdo-assign, no-ca, ca-refused, ca-unannounced, sdo-expedited, sdo-normal, "
           "sdo-segmented, no-1c00, no-sii-pdo, no-coe, alt-pdo, no-sm-category, mbx512, mbx-asym, slow, "
           "al-delay=MS, sdo-delay=MS, sii4, sii8, sii-busy=US, eeprom-loading=MS, no-dc, dc32, no-lrw, "
           "stale-reply, device-emulation";
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

    if (name == "al-delay" || name == "sdo-delay" || name == "eeprom-loading" || name == "sii-busy") {
        if (name == "sdo-delay" && !b.mailbox)
            return fail("option sdo-delay needs a mailbox, and this device has none");
        return timed(name, value, hasValue, b, error);
    }
    if (hasValue)
        return fail("option " + name + " takes no value");
    const bool needsMailbox = name == "no-coe" || name == "mbx512" || name == "mbx-asym";
    if (needsMailbox && !b.mailbox)
        return fail("option " + name + " needs a mailbox, and this device has none");
    if (name == "device-emulation") {
        if (b.mailbox)
            return fail("option device-emulation needs a device without a mailbox (no processor runs one)");
        d.deviceEmulation = true;
        d.sii.pdiControl = static_cast<uint16_t>(d.sii.pdiControl | ecwire::reg::PdiDeviceEmulation);
    } else if (name == "keep-mac") {
        d.marksReturned = false;
    } else if (name == "stale-reply") {
        b.needCoe.push_back(name);
        d.staleReply = true;
    } else if (name == "slow") {
        d.timing.safeOpNs = SlowSafeOpNs;
        if (b.mailbox)
            d.timing.mailboxNs = SlowMailboxNs;
    } else if (name == "sii4" || name == "sii8") {
        d.sii8ByteReads = name == "sii8";
    } else if (name == "no-dc") {
        d.dc = false;
    } else if (name == "dc32") {
        d.dc = true;
        d.dc64 = false;
    } else if (name == "no-lrw") {
        d.lrw = false;
    } else if (name == "no-pdo-assign") {
        b.needCoe.push_back(name);
        b.announcePdoAssign = false;
    } else if (name == "no-ca" || name == "ca-refused" || name == "ca-unannounced") {
        b.needCoe.push_back(name);
        if (!choose(b.completeAccessOption, name, error))
            return false;
        d.completeAccess = name == "no-ca"        ? CompleteAccess::Unsupported
                         : name == "ca-refused" ? CompleteAccess::Refused
                                                : CompleteAccess::Unannounced;
    } else if (name == "sdo-expedited" || name == "sdo-normal" || name == "sdo-segmented") {
        b.needCoe.push_back(name);
        if (!choose(b.sdoOption, name, error))
            return false;
        d.sdoStyle = name == "sdo-expedited" ? SdoStyle::Expedited
                   : name == "sdo-normal"    ? SdoStyle::Normal
                                             : SdoStyle::Segmented;
    } else if (name == "no-1c00") {
        b.needCoe.push_back(name);
        d.has1C00 = false;
    } else if (name == "no-sii-pdo") {
        if (!b.d.alternativePdos.empty())
            return fail("options alt-pdo and no-sii-pdo exclude each other (the alternatives are SII PDOs)");
        b.siiPdoCategories = false;
    } else if (name == "alt-pdo") {
        if (!b.siiPdoCategories)
            return fail("options no-sii-pdo and alt-pdo exclude each other (the alternatives are SII PDOs)");
        if (b.d.alternativePdos.empty())
            addAlternativePdos(b);
    } else if (name == "no-coe") {
        d.coe = false;
    } else if (name == "no-sm-category") {
        b.siiSyncManagers = false;
    } else if (name == "mbx512" || name == "mbx-asym") {
        if (!choose(b.mailboxOption, name, error))
            return false;
        if (name == "mbx512") {
            b.mbxOutStart = 0x1000, b.mbxOutSize = 512, b.mbxInStart = 0x1200, b.mbxInSize = 512;
        } else {
            b.mbxOutStart = 0x1800, b.mbxOutSize = 128, b.mbxInStart = 0x1C00, b.mbxInSize = 256;
        }
    } else {
        return fail("unknown option '" + name + "' (known: " + deviceOptionList() + ")");
    }
    return true;
}

} // namespace ecsim
