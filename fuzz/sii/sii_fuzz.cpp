// Fuzz target: SII EEPROM images as a master reads them back from a slave.
// The input is the EEPROM content, little-endian words. The target reads it
// the way the master does (grow the read until the scan says complete), parses
// it, and checks that an image built from the parsed description parses back
// to the same description.
#include "fuzz_check.h"

#include <ecwire/sii.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace ecwire;

namespace {

bool samePdos(const std::vector<SiiPdo> &a, const std::vector<SiiPdo> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].index != b[i].index || a[i].syncManager != b[i].syncManager ||
            a[i].entries.size() != b[i].entries.size() || a[i].bits() != b[i].bits())
            return false;
    }
    return true;
}

void checkRoundTrip(const SiiDevice &dev)
{
    std::vector<uint16_t> built;
    if (!buildSiiImage(dev, built))
        return; // more strings or entries than one image can say: refused, fine
    SiiDevice again;
    std::string error;
    FUZZ_CHECK(parseSiiImage(built, again, &error), "a built image parses");
    FUZZ_CHECK(again.checksumOk, "a built image has a valid checksum");
    FUZZ_CHECK(again.vendorId == dev.vendorId && again.productCode == dev.productCode &&
                   again.revision == dev.revision && again.serial == dev.serial,
               "identity survives a round trip");
    FUZZ_CHECK(again.mbxRxOffset == dev.mbxRxOffset && again.mbxRxSize == dev.mbxRxSize &&
                   again.mbxTxOffset == dev.mbxTxOffset && again.mbxTxSize == dev.mbxTxSize &&
                   again.mailboxProtocols == dev.mailboxProtocols,
               "mailbox layout survives a round trip");
    FUZZ_CHECK(again.strings == dev.strings, "strings survive a round trip");
    FUZZ_CHECK(again.hasGeneral == dev.hasGeneral, "general category survives a round trip");
    FUZZ_CHECK(again.name() == dev.name(), "name survives a round trip");
    FUZZ_CHECK(again.syncManagers.size() == dev.syncManagers.size(), "SyncManagers survive a round trip");
    FUZZ_CHECK(samePdos(again.txPdos, dev.txPdos) && samePdos(again.rxPdos, dev.rxPdos),
               "PDOs survive a round trip");
    FUZZ_CHECK(again.inputBits() == dev.inputBits() && again.outputBits() == dev.outputBits(),
               "PDO sizes survive a round trip");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<uint16_t> eeprom(size / 2);
    for (size_t i = 0; i < eeprom.size(); ++i)
        eeprom[i] = static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));

    // Read as a master would: the fixed header first, then as much more as the
    // scan asks for, until it is complete or the EEPROM ends.
    size_t have = eeprom.size() < sii::FirstCategory ? eeprom.size() : size_t(sii::FirstCategory);
    std::vector<uint16_t> words(eeprom.begin(), eeprom.begin() + static_cast<long>(have));
    for (;;) {
        size_t needed = 0;
        const SiiScan s = scanSiiImage(words, &needed);
        if (s != SiiScan::NeedMore)
            break;
        FUZZ_CHECK(needed > words.size(), "the scan asks for more words than it has");
        if (needed > eeprom.size()) {
            words = eeprom; // the EEPROM ends first: parse what there is
            break;
        }
        words.assign(eeprom.begin(), eeprom.begin() + static_cast<long>(needed));
    }

    SiiDevice dev;
    std::string error;
    if (!parseSiiImage(words, dev, &error)) {
        FUZZ_CHECK(!error.empty(), "a refused image says why");
        return 0;
    }
    // Every accessor of a parsed description is safe on any index.
    for (unsigned i = 0; i < 256; ++i)
        (void)dev.string(static_cast<uint8_t>(i));
    for (unsigned sm = 0; sm < 256; ++sm)
        (void)dev.pdoBits(static_cast<uint8_t>(sm));
    (void)dev.name();
    (void)dev.hasCoe();
    checkRoundTrip(dev);
    return 0;
}
