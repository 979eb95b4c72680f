#include "sii.h"

#include "clock.h"
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <algorithm>
#include <cstring>

namespace ecmaster {

namespace {

namespace reg = ecwire::reg;

constexpr int kBusyTimeoutUs = 20000;    // one EEPROM read completes well within this
constexpr int kBusyPauseUs = 20;
constexpr size_t kDefaultMaxWords = 4096; // when the header gives no usable size
// Control/status, address and data read together once the read is done.
constexpr uint16_t kStatusLen = reg::SiiEnd - reg::SiiControl;
constexpr size_t kDataAt = reg::SiiData - reg::SiiControl;
static_assert(kDataAt + 8 == kStatusLen, "status block ends after 8 data bytes");

// Takes the data out of a status block that shows the read done.
int takeData(const uint8_t *st, uint32_t word, uint16_t *out, std::string *why)
{
    const uint16_t status = ecwire::getU16(st);
    if (status & reg::SiiCommandError) {
        *why = "SII refused the read of word " + std::to_string(word);
        return 0;
    }
    const int words = (status & reg::SiiRead8Bytes) ? 4 : 2;
    for (int i = 0; i < words; ++i)
        out[i] = ecwire::getU16(st + kDataAt + 2 * i);
    return words;
}

// Reads 2 or 4 words at word address `word`; returns how many, 0 on failure.
int readChunk(ecx_contextt *c, uint16_t station, uint32_t word, uint16_t *out, std::string *why)
{
    Engine *e = engineOf(c);
    uint8_t cmd[2 + 4];
    ecwire::putU16(cmd, reg::SiiCmdRead);
    ecwire::putU32(cmd + 2, word);
    uint8_t st[kStatusLen] = {};
    // The command and a first look at the status in one frame.
    Datagram d[2];
    d[0].command = ecwire::Command::FPWR;
    d[0].address = ecwire::makeAddress(station, reg::SiiControl);
    d[0].data = cmd;
    d[0].length = sizeof cmd;
    d[1].command = ecwire::Command::FPRD;
    d[1].address = ecwire::makeAddress(station, reg::SiiControl);
    d[1].data = st;
    d[1].length = kStatusLen;
    int tries = 3;
    while (!e || exchange(*e, d, 2, kConfigTimeoutUs) != 1) {
        if (--tries == 0) {
            *why = "no answer to the SII read of word " + std::to_string(word);
            return 0;
        }
    }
    if (d[0].wkc != 1) {
        *why = "SII read command at word " + std::to_string(word) + " not accepted (working counter "
            + std::to_string(d[0].wkc) + ", expected 1)";
        return 0;
    }
    if (d[1].wkc == 1 && !(ecwire::getU16(st) & reg::SiiBusy))
        return takeData(st, word, out, why);
    const int64_t deadline = nowUs() + kBusyTimeoutUs;
    for (int poll = 0;; ++poll) {
        std::memset(st, 0, sizeof st);
        if (fprd(c, station, reg::SiiControl, st, kStatusLen) != 1) {
            *why = "SII status did not answer";
            return 0;
        }
        if (!(ecwire::getU16(st) & reg::SiiBusy))
            return takeData(st, word, out, why);
        if (nowUs() >= deadline) {
            *why = "SII stayed busy";
            return 0;
        }
        if (poll > 0) // an EEPROM is often done by the second look
            sleepUs(kBusyPauseUs);
    }
}

bool readWords(ecx_contextt *c, uint16_t station, std::vector<uint16_t> &words, size_t upTo,
               std::string *why)
{
    while (words.size() < upTo) {
        uint16_t chunk[4];
        const int n = readChunk(c, station, uint32_t(words.size()), chunk, why);
        if (n == 0)
            return false;
        words.insert(words.end(), chunk, chunk + n);
    }
    return true;
}

} // namespace

bool readSii(ecx_contextt *c, uint16_t station, ecwire::SiiDevice &out, std::string *why)
{
    std::vector<uint16_t> words;
    words.reserve(256);
    if (!readWords(c, station, words, ecwire::sii::FirstCategory, why))
        return false;
    size_t maxWords = kDefaultMaxWords;
    const uint16_t kbitMinus1 = words[ecwire::sii::EepromSize];
    if (kbitMinus1 != 0 && kbitMinus1 != 0xFFFF)
        maxWords = (size_t(kbitMinus1) + 1) * 1024 / 16;
    for (;;) {
        size_t need = 0;
        const ecwire::SiiScan scan = ecwire::scanSiiImage(words, &need);
        if (scan == ecwire::SiiScan::Complete)
            break;
        if (scan == ecwire::SiiScan::Malformed || need > maxWords) {
            // No end marker within the EEPROM: parse what there is.
            break;
        }
        if (!readWords(c, station, words, need, why))
            return false;
    }
    std::string err;
    if (!ecwire::parseSiiImage(words, out, &err)) {
        *why = "SII image unreadable: " + err;
        return false;
    }
    return true;
}

void applySii(ec_slavet &s, const ecwire::SiiDevice &sii)
{
    s.eep_man = sii.vendorId;
    s.eep_id = sii.productCode;
    s.eep_rev = sii.revision;
    s.eep_ser = sii.serial;
    s.aliasadr = sii.alias;
    if (sii.hasMailbox()) {
        s.mbx_wo = sii.mbxRxOffset;
        s.mbx_l = sii.mbxRxSize;
        s.mbx_ro = sii.mbxTxOffset;
        s.mbx_rl = sii.mbxTxSize;
        s.mbx_proto = sii.mailboxProtocols;
    }
    s.coe_details = sii.hasGeneral ? sii.general.coeDetails : 0;
    const std::string name = sii.name();
    const size_t n = std::min(name.size(), size_t(EC_MAXNAME));
    std::memcpy(s.name, name.data(), n);
    s.name[n] = '\0';

    s.sm_count = uint8_t(std::min(sii.syncManagers.size(), size_t(EC_MAXSM)));
    for (size_t i = 0; i < s.sm_count; ++i) {
        const ecwire::SiiSyncManager &m = sii.syncManagers[i];
        s.sm[i] = ec_smconft{m.start, m.length, m.control, m.enable, m.type};
    }
    s.fmmu_count = uint8_t(std::min(sii.fmmus.size(), size_t(EC_MAXFMMU)));
    for (size_t i = 0; i < s.fmmu_count; ++i)
        s.fmmu_func[i] = sii.fmmus[i];
    s.sii_obits = sii.outputBits();
    s.sii_ibits = sii.inputBits();
}

} // namespace ecmaster
