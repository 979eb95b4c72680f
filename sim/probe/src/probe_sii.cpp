// SII reads as the ESC wants them: check busy, write command and address in
// one write, poll busy in later frames, clear an error with command 000 and
// read again, take 4 or 8 bytes as the status says.
#include <ecprobe/probe.h>

#include <ecwire/le.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

namespace ecprobe {

namespace reg = ecwire::reg;

namespace {
constexpr int Attempts = 5; // reads the EEPROM does not acknowledge, before giving up
} // namespace

bool Probe::readSii(uint16_t station, uint32_t word, size_t count, std::vector<uint16_t> &out)
{
    out.clear();
    int failures = 0;
    while (out.size() < count) {
        const uint64_t deadline = now() + timeoutNs;
        uint16_t status = 0;
        auto notBusy = [&] {
            if (!read16(station, reg::SiiControl, status))
                return Poll::Failed;
            return (status & reg::SiiBusy) ? Poll::Again : Poll::Done;
        };
        // Busy: an earlier command, or the ESC still loading its EEPROM.
        Backoff pause(*this);
        if (!pollUntil(deadline, pause, notBusy,
                       [&] { return "SII of station " + std::to_string(station) + " stays busy"; }))
            return false;
        if (status & (reg::SiiCommandError | reg::SiiWriteEnableError)) {
            if (!write16(station, reg::SiiControl, 0)) // command 000 clears the error bits
                return false;
            continue;
        }
        std::vector<uint8_t> cmd(6);
        ecwire::putU16(cmd.data(), reg::SiiCmdRead);
        ecwire::putU32(cmd.data() + 2, static_cast<uint32_t>(word + out.size()));
        if (!write(station, reg::SiiControl, cmd))
            return false;
        // The command starts at the end of this frame: busy is polled in later ones.
        Backoff busy(*this);
        wait(busy.step());
        if (!pollUntil(deadline, busy, notBusy,
                       [&] { return "SII read of word " + std::to_string(word + out.size()) + " stays busy"; }))
            return false;
        if (status & reg::SiiCommandError) {
            if (++failures > Attempts)
                return fail("SII read of word " + std::to_string(word + out.size()) + " not acknowledged "
                            + std::to_string(failures) + " times");
            continue; // cleared at the top, then read again
        }
        const size_t words = (status & reg::SiiRead8Bytes) ? 4 : 2;
        std::vector<uint8_t> data;
        if (!read(station, reg::SiiData, 2 * words, data))
            return false;
        for (size_t i = 0; i < words && out.size() < count; ++i)
            out.push_back(ecwire::getU16(data.data() + 2 * i));
    }
    return true;
}

bool Probe::readSiiImage(uint16_t station, std::vector<uint16_t> &words)
{
    if (!readSii(station, 0, ecwire::sii::FirstCategory, words))
        return false;
    size_t needed = 0;
    for (;;) {
        const ecwire::SiiScan scan = ecwire::scanSiiImage(words, &needed);
        if (scan == ecwire::SiiScan::Complete)
            return true;
        if (scan == ecwire::SiiScan::Malformed)
            return fail("SII image of station " + std::to_string(station) + " is malformed");
        std::vector<uint16_t> more;
        if (needed <= words.size() || !readSii(station, static_cast<uint32_t>(words.size()), needed - words.size(), more))
            return needed <= words.size() ? fail("SII scan stands still") : false;
        words.insert(words.end(), more.begin(), more.end());
    }
}

} // namespace ecprobe
