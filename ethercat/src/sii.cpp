#include "sii.h"

#include "clock.h"
#include "poll_pacer.h"
#include "soem_fields.h"
#include "txrx.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <algorithm>
#include <cstring>

namespace ethercat {

namespace {

namespace reg = ecwire::reg;

// An ESC loads its configuration from the EEPROM after power-up and shows
// the interface busy until it is done: the first command waits that long.
constexpr int kLoadTimeoutUs = 3000000;
// One EEPROM read over I2C takes about a millisecond; far more is a fault.
constexpr int kCommandTimeoutUs = 200000;
// A missing acknowledge from the EEPROM is retried this often.
constexpr int kNackTries = 4;
constexpr size_t kDefaultMaxWords = 4096; // when the header gives no usable size
// Control/status, address and data read together.
constexpr uint16_t kStatusLen = reg::SiiEnd - reg::SiiControl;
constexpr size_t kAddressAt = reg::SiiAddress - reg::SiiControl;
constexpr size_t kDataAt = reg::SiiData - reg::SiiControl;
static_assert(kDataAt + 8 == kStatusLen, "status block ends after 8 data bytes");

std::string wordText(uint32_t word)
{
    return "SII word " + std::to_string(word);
}

// The SII interface of one slave, used one command at a time: a command is
// written only while the interface is idle, and its result is read in later
// frames, because the ESC starts a command only after the end of the frame
// that wrote it (a status or data read in that frame still sees the
// previous command).
class SiiReader {
public:
    SiiReader(ecx_contextt *c, uint16_t station) : c_(c), station_(station) {}

    // Reads 2 or 4 words (as the ESC's read size says) at `word`; returns
    // how many, 0 on failure with *why set.
    int read(uint32_t word, uint16_t *out, std::string *why)
    {
        for (int attempt = 0; attempt < kNackTries; ++attempt) {
            // Before the first command the ESC may still be loading.
            if (!idle_ && !waitIdle(loaded_ ? kCommandTimeoutUs : kLoadTimeoutUs, why))
                return 0;
            loaded_ = true;
            if ((status() & (reg::SiiCommandError | reg::SiiWriteEnableError)) && !clearErrors(why))
                return 0;
            if (!writeCommand(word, why))
                return 0;
            if (!waitIdle(kCommandTimeoutUs, why)) {
                *why += " after the read of " + wordText(word);
                return 0;
            }
            if (status() & reg::SiiCommandError)
                continue; // the EEPROM did not acknowledge: clear and try again
            // The address register shows the word of the command that ran:
            // another word means ours never started.
            const uint32_t ran = ecwire::getU32(st_ + kAddressAt);
            if (ran != word) {
                *why = notStarted(word, ran);
                return 0;
            }
            const int words = (status() & reg::SiiRead8Bytes) ? 4 : 2;
            for (int i = 0; i < words; ++i)
                out[i] = ecwire::getU16(st_ + kDataAt + 2 * i);
            return words;
        }
        *why = "the EEPROM did not acknowledge the read of " + wordText(word) + " (" + std::to_string(kNackTries)
            + " tries, command error bit in 0x0502)";
        return 0;
    }

private:
    uint16_t status() const { return ecwire::getU16(st_); }

    // Why the read of `word` did not run: the EEPROM interface belongs to
    // EtherCAT only while 0x0500 bit 0 and 0x0501 bit 0 are clear.
    std::string notStarted(uint32_t word, uint32_t ran)
    {
        uint8_t access[2] = {};
        if (fprd(c_, station_, reg::SiiAccess, access, 2) == 1
            && ((access[0] & reg::SiiOfferedToPdi) || (access[1] & reg::SiiPdiHasAccess)))
            return "SII held by the slave's processor (0x0501 = " + std::to_string(access[1]) + ", 0x0500 = "
                + std::to_string(access[0]) + "): the read of " + wordText(word) + " did not start";
        return "the read of " + wordText(word) + " did not start (the SII address register shows word "
            + std::to_string(ran) + ")";
    }

    // Polls control/status (with address and data) until busy clears.
    bool waitIdle(int timeoutUs, std::string *why)
    {
        const int64_t deadline = nowUs() + timeoutUs;
        PollPacer pacer;
        for (;;) {
            std::memset(st_, 0, sizeof st_);
            const int wkc = fprd(c_, station_, reg::SiiControl, st_, kStatusLen);
            if (wkc != 1) {
                *why = "SII status (0x0502) did not answer (working counter " + std::to_string(wkc) + ", expected 1)";
                return false;
            }
            if (!(status() & reg::SiiBusy)) {
                idle_ = true;
                return true;
            }
            if (nowUs() >= deadline) {
                *why = "SII interface stayed busy for " + std::to_string(timeoutUs / 1000) + " ms";
                return false;
            }
            pacer.wait(deadline);
        }
    }

    // Command 000 clears the error bits.
    bool clearErrors(std::string *why)
    {
        const int wkc = fpwrU16(c_, station_, reg::SiiControl, 0);
        if (wkc != 1) {
            *why = "SII error bits could not be cleared (working counter " + std::to_string(wkc) + ", expected 1)";
            return false;
        }
        ecwire::putU16(st_, uint16_t(status() & ~(reg::SiiCommandError | reg::SiiWriteEnableError)));
        return true;
    }

    // Command and word address in one write: control (2) then address (4).
    bool writeCommand(uint32_t word, std::string *why)
    {
        uint8_t cmd[2 + 4];
        ecwire::putU16(cmd, reg::SiiCmdRead);
        ecwire::putU32(cmd + 2, word);
        const int wkc = fpwr(c_, station_, reg::SiiControl, cmd, sizeof cmd);
        if (wkc != 1) {
            *why = "SII read command for " + wordText(word) + " not accepted (working counter " + std::to_string(wkc)
                + ", expected 1)";
            return false;
        }
        idle_ = false;
        return true;
    }

    ecx_contextt *c_;
    uint16_t station_;
    uint8_t st_[kStatusLen] = {};
    bool idle_ = false;   // the last look found the interface idle
    bool loaded_ = false; // the interface was seen idle once
};

// Reads words [from, upTo) (a read may bring a few more) into `words`,
// which grows as needed; words skipped before `from` stay 0.
bool readWords(SiiReader &r, std::vector<uint16_t> &words, size_t from, size_t upTo, std::string *why)
{
    size_t at = from;
    while (at < upTo) {
        uint16_t chunk[4];
        const int n = r.read(uint32_t(at), chunk, why);
        if (n == 0)
            return false;
        if (words.size() < at + size_t(n))
            words.resize(at + size_t(n), 0);
        std::copy(chunk, chunk + n, words.begin() + long(at));
        at += size_t(n);
    }
    return true;
}

} // namespace

bool readSii(ecx_contextt *c, uint16_t station, ecwire::SiiDevice &out, std::string *why)
{
    SiiReader reader(c, station);
    std::vector<uint16_t> words;
    words.reserve(256);
    // The header up to the mailbox protocols, then its size and version
    // words: the reserved words between are not read.
    if (!readWords(reader, words, 0, ecwire::sii::MailboxProtocols + 1, why)
        || !readWords(reader, words, ecwire::sii::EepromSize, ecwire::sii::FirstCategory, why))
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
        if (!readWords(reader, words, words.size(), need, why))
            return false;
    }
    std::string err;
    if (!ecwire::parseSiiImage(words, out, &err)) {
        *why = "SII image unreadable: " + err;
        return false;
    }
    return true;
}

void applySii(ecx_contextt *c, int slave, const ecwire::SiiDevice &sii)
{
    ec_slavet &s = c->slavelist[slave];
    SlaveBook &b = bookOf(c, slave);
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
    s.CoEdetails = sii.hasGeneral ? sii.general.coeDetails : 0;
    const std::string name = sii.name();
    const size_t n = std::min(name.size(), size_t(EC_MAXNAME));
    std::memcpy(s.name, name.data(), n);
    s.name[n] = '\0';

    b.smCount = uint8_t(std::min(sii.syncManagers.size(), size_t(EC_MAXSM)));
    for (size_t i = 0; i < b.smCount; ++i) {
        const ecwire::SiiSyncManager &m = sii.syncManagers[i];
        ecwire::SmEntry e;
        e.physicalStart = m.start;
        e.length = m.length;
        e.control = m.control;
        e.status = m.status;
        e.activate = m.enable;
        s.SM[i] = smOf(e);
        s.SMtype[i] = m.type;
    }
    b.fmmuCount = uint8_t(std::min(sii.fmmus.size(), size_t(EC_MAXFMMU)));
    for (size_t i = 0; i < b.fmmuCount; ++i)
        fmmuFunc(s, int(i)) = sii.fmmus[i];
    auto anyAssigned = [](const std::vector<ecwire::SiiPdo> &pdos) {
        return std::any_of(pdos.begin(), pdos.end(), [](const ecwire::SiiPdo &p) { return p.assigned(); });
    };
    b.siiObits = sii.outputBits();
    b.siiIbits = sii.inputBits();
    b.siiPdoOut = anyAssigned(sii.rxPdos);
    b.siiPdoIn = anyAssigned(sii.txPdos);
}

} // namespace ethercat
