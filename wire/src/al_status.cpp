#include "ecwire/al_status.h"

#include <algorithm>
#include <iterator>

namespace ecwire {
namespace al {

namespace {

struct CodeText {
    uint16_t code;
    const char *text;
};

// Sorted by code, so that a lookup can search it.
constexpr CodeText kCodes[] = {
    {0x0000, "no error"},
    {0x0001, "unspecified error"},
    {0x0002, "no memory"},
    {0x0003, "invalid device setup"},
    {0x0006, "SII/EEPROM information does not match the firmware"},
    {0x0007, "firmware update not successful, old firmware still running"},
    {0x000E, "license error"},
    {0x0011, "invalid requested state change"},
    {0x0012, "unknown requested state"},
    {0x0013, "bootstrap not supported"},
    {0x0014, "no valid firmware"},
    {0x0015, "invalid mailbox configuration (BOOT)"},
    {0x0016, "invalid mailbox configuration (PRE-OP)"},
    {0x0017, "invalid sync manager configuration"},
    {0x0018, "no valid inputs available"},
    {0x0019, "no valid outputs"},
    {0x001A, "synchronization error"},
    {0x001B, "sync manager watchdog"},
    {0x001C, "invalid sync manager types"},
    {0x001D, "invalid output configuration"},
    {0x001E, "invalid input configuration"},
    {0x001F, "invalid watchdog configuration"},
    {0x0020, "slave needs cold start"},
    {0x0021, "slave needs INIT"},
    {0x0022, "slave needs PRE-OP"},
    {0x0023, "slave needs SAFE-OP"},
    {0x0024, "invalid input mapping"},
    {0x0025, "invalid output mapping"},
    {0x0026, "inconsistent settings"},
    {0x0027, "free run not supported"},
    {0x0028, "synchronization not supported"},
    {0x0029, "free run needs 3-buffer mode"},
    {0x002A, "background watchdog"},
    {0x002B, "no valid inputs and outputs"},
    {0x002C, "fatal sync error"},
    {0x002D, "no sync error"},
    {0x0030, "invalid DC SYNC configuration"},
    {0x0031, "invalid DC latch configuration"},
    {0x0032, "PLL error"},
    {0x0033, "DC sync IO error"},
    {0x0034, "DC sync timeout error"},
    {0x0035, "DC invalid sync cycle time"},
    {0x0036, "DC Sync0 cycle time"},
    {0x0037, "DC Sync1 cycle time"},
    {0x0041, "mailbox AoE"},
    {0x0042, "mailbox EoE"},
    {0x0043, "mailbox CoE"},
    {0x0044, "mailbox FoE"},
    {0x0045, "mailbox SoE"},
    {0x004F, "mailbox VoE"},
    {0x0050, "EEPROM no access"},
    {0x0051, "EEPROM error"},
    {0x0052, "external hardware not ready"},
    {0x0060, "slave restarted locally"},
    {0x0061, "device identification value updated"},
    {0x0070, "detected module ident list does not match"},
    {0x0080, "supply voltage too low"},
    {0x0081, "supply voltage too high"},
    {0x0082, "temperature too low"},
    {0x0083, "temperature too high"},
    {0x00F0, "application controller available"},
};

constexpr uint16_t kFirstVendorCode = 0x8000;

constexpr bool sorted()
{
    for (size_t i = 1; i < std::size(kCodes); ++i)
        if (kCodes[i - 1].code >= kCodes[i].code)
            return false;
    return true;
}
static_assert(sorted(), "the code table must stay sorted for the lookup");

} // namespace

const char *statusCodeText(uint16_t code)
{
    const auto it = std::lower_bound(std::begin(kCodes), std::end(kCodes), code,
                                     [](const CodeText &c, uint16_t v) { return c.code < v; });
    if (it != std::end(kCodes) && it->code == code)
        return it->text;
    return code >= kFirstVendorCode ? "vendor-specific code" : "unknown code";
}

} // namespace al
} // namespace ecwire
