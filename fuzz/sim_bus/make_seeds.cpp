// Seed program for the simulator target: the frames the probe sends while it
// brings three slaves up (fresh bus), and the frames of a bus in OP: process
// data, state reads, distributed-clock registers, a state change; the same
// for the bus of other device kinds and options.
#include "chunks.h"
#include "probe_bus.h"
#include "seed_writer.h"

#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <cstring>

namespace {

using ecwire::Command;
namespace reg = ecwire::reg;

std::vector<uint8_t> frames(uint8_t start, uint8_t fault, const std::vector<std::vector<uint8_t>> &log,
                            size_t from = 0, size_t count = SIZE_MAX)
{
    std::vector<uint8_t> out{start, fault};
    for (size_t i = from; i < log.size() && i - from < count; ++i)
        fuzzchunks::append(out, log[i]);
    return out;
}

} // namespace

// The variety bus brought up, and a few process-data frames in OP.
bool varietySeeds()
{
    fuzzsim::Recording r(1);
    ecprobe::Probe probe = r.probe();
    const ecprobe::BringUp up = ecprobe::bringUpBus(probe, ecwire::al::Op);
    if (!up.ok) {
        std::fprintf(stderr, "bring-up of the variety bus failed: %s\n", up.error.c_str());
        return false;
    }
    bool ok = fuzzseeds::write("variety-bringup-whole", frames(2, 0, r.frames));
    r.frames.clear();
    const uint16_t image = static_cast<uint16_t>(up.outputBytes + up.inputBytes);
    for (Command c : {Command::LRW, Command::LWR, Command::LRD}) {
        std::vector<uint8_t> d(image, 0x5A);
        probe.io(c, 0, d);
    }
    ok &= fuzzseeds::write("variety-op-processdata", frames(3, 0, r.frames));
    return ok;
}

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    fuzzsim::Recording r(0);
    if (!r.target.bus)
        return 1;
    ecprobe::Probe probe = r.probe();
    const ecprobe::BringUp up = ecprobe::bringUpBus(probe, ecwire::al::Op);
    if (!up.ok) {
        std::fprintf(stderr, "bring-up failed: %s\n", up.error.c_str());
        return 1;
    }
    bool ok = true;
    // The bring-up in pieces, each from a fresh bus: enumeration and SII,
    // then the rest (mailbox, CoE, mapping) from where the pieces leave it.
    const size_t n = r.frames.size();
    ok &= fuzzseeds::write("fresh-bringup-start", frames(0, 0, r.frames, 0, 40));
    ok &= fuzzseeds::write("fresh-bringup-whole", frames(0, 0, r.frames));
    ok &= fuzzseeds::write("fresh-bringup-last-part", frames(0, 0, r.frames, n > 60 ? n - 60 : 0));

    const uint16_t image = static_cast<uint16_t>(up.outputBytes + up.inputBytes);
    r.frames.clear();
    for (int i = 0; i < 3; ++i) {
        std::vector<uint8_t> d(image, 0);
        probe.io(Command::LRW, 0, d);
    }
    std::vector<uint8_t> states(2, 0);
    probe.io(Command::BRD, ecwire::makeAddress(0, reg::AlStatus), states);
    ok &= fuzzseeds::write("op-processdata", frames(1, 0, r.frames));
    ok &= fuzzseeds::write("op-processdata-refuse-op", frames(1, 1, r.frames));
    ok &= fuzzseeds::write("op-processdata-short-image", frames(1, 5, r.frames));
    const std::vector<std::vector<uint8_t>> pdLog = r.frames;

    // Distributed clocks: latch the receive times, read them, set offsets and delays, read the system time.
    r.frames.clear();
    std::vector<uint8_t> latch(4, 0), times(16, 0), offset(8, 0), delay(4, 0), sys(8, 0);
    probe.io(Command::BWR, ecwire::makeAddress(0, reg::DcRecvTimePort0), latch);
    for (size_t i = 0; i < up.slaves.size(); ++i) {
        const uint16_t st = ecprobe::Probe::station(i);
        probe.io(Command::FPRD, ecwire::makeAddress(st, reg::DcRecvTimePort0), times);
        ecwire::putU64(offset.data(), 0x0123456789ull * (i + 1));
        probe.io(Command::FPWR, ecwire::makeAddress(st, reg::DcSystemTimeOffset), offset);
        ecwire::putU32(delay.data(), 500u * uint32_t(i));
        probe.io(Command::FPWR, ecwire::makeAddress(st, reg::DcSystemTimeDelay), delay);
    }
    probe.io(Command::ARMW, ecwire::makeAddress(0, reg::DcSystemTime), sys);
    ok &= fuzzseeds::write("op-configdc", frames(1, 0, r.frames));

    // Back to INIT, with an error standing.
    r.frames.clear();
    for (size_t i = 0; i < up.slaves.size(); ++i)
        probe.requestState(ecprobe::Probe::station(i), ecwire::al::Init);
    ok &= fuzzseeds::write("op-to-init", frames(1, 2, r.frames));

    // Control lines ahead of a process-data frame of the bus in OP.
    for (const char *line : {"profile ramp 1000 10 60", "slave 1 invalid 3", "error-state 0x14 0x001E",
                             "image 07ffff7f7f", "stats", "slave 1 lose-reply 1", "slave 3 sii-nack 2"}) {
        std::vector<uint8_t> seed{1, 0x80};
        fuzzchunks::append(seed, std::vector<uint8_t>(line, line + std::strlen(line)));
        const std::vector<uint8_t> pd = frames(1, 0, pdLog);
        seed.insert(seed.end(), pd.begin() + 2, pd.end());
        const std::string word(line, std::strcspn(line, " "));
        const std::string name = word == "slave" ? std::string(line).substr(8, std::strcspn(line + 8, " ")) : word;
        ok &= fuzzseeds::write("op-command-" + name, seed);
    }
    ok &= varietySeeds();
    return ok ? 0 : 1;
}
