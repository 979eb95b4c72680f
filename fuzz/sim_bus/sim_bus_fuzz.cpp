// Fuzz target: the simulator's frame handling (ecsim::Bus::handleFrame) on
// three slaves, either fresh from power-on or in OP with FMMUs and
// SyncManagers set up by a recorded bring-up of the simulator's probe, so
// that logical addressing, mailboxes and process data are all in reach.
//
// Input: byte 0 bit 0 chooses the bus in OP (else fresh), bit 1 the bus of
// other device kinds and options instead of the sensor's; byte 1 picks a
// slave-level fault set through the control channel before the frames, and
// with bit 7 set the first chunk is a control line of its own; then
// frames, each a 2-byte little-endian length and its bytes (the last may be
// cut short). Every frame the model returns must be the frame it got,
// processed: same size, marked as returned, and the same datagrams.
#include "chunks.h"
#include "fuzz_check.h"
#include "probe_bus.h"

#include <ecwire/frame.h>
#include <ecwire/registers.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint16_t kSiiFirst = 0x0500; // SII interface registers
constexpr uint16_t kSiiEnd = 0x0510;

const char *const kFaults[] = {
    nullptr,
    "refuse-op on",
    "error-state 0x18 0x001B",
    "invalid on",
    "image 050000C842",
    "image 01",
    "flags over,under",
    "profile sine 1000 50 10",
    "sii-nack 3",
    "lose-reply 2",
    "stale-reply",
    "al-delay 0",
};
constexpr size_t kFaultCount = sizeof kFaults / sizeof kFaults[0];
constexpr uint8_t kCommandLineFlag = 0x80; // in byte 1: a control line comes first

// True when every datagram of the frame only reads or drives the SII
// interface: those frames make most of a bring-up and leave the state of the
// bus as it was, so the replay leaves them out.
bool onlySiiAccess(const std::vector<uint8_t> &frame)
{
    ecwire::ParsedFrame parsed;
    if (ecwire::parseFrame(frame.data(), frame.size(), parsed) != ecwire::ParseError::None)
        return false;
    for (const ecwire::DatagramView &d : parsed.datagrams) {
        const bool configured = d.command == uint8_t(ecwire::Command::FPRD) ||
                                d.command == uint8_t(ecwire::Command::FPWR);
        if (!configured || d.ado < kSiiFirst || d.ado + d.length > kSiiEnd)
            return false;
    }
    return true;
}

using Frames = std::vector<std::vector<uint8_t>>;

Frames recordBringUp(size_t which)
{
    fuzzsim::Recording r(which);
    FUZZ_CHECK(r.target.bus != nullptr, "the model builds the bus");
    ecprobe::Probe probe = r.probe();
    FUZZ_CHECK(ecprobe::bringUpBus(probe, ecwire::al::Op).ok, "the probe brings the bus up");
    Frames out;
    for (const std::vector<uint8_t> &f : r.frames)
        if (!onlySiiAccess(f))
            out.push_back(f);
    return out;
}

// The frames the probe sent during a bring-up of each bus to OP, recorded once.
const Frames &bringUpFrames(size_t which)
{
    static const Frames frames[fuzzsim::kBusCount] = {recordBringUp(0), recordBringUp(1)};
    return frames[which % fuzzsim::kBusCount];
}

void checkReply(const uint8_t *frame, size_t len, const std::vector<uint8_t> &reply)
{
    using namespace ecwire;
    FUZZ_CHECK(reply.size() == len, "the reply is the frame it got, same size");
    FUZZ_CHECK((reply[eth::Source] | eth::SourceReturnedBit) == (frame[eth::Source] | eth::SourceReturnedBit),
               "only the returned mark of the source MAC may change");
    ParsedFrame in, out;
    FUZZ_CHECK(parseFrame(frame, len, in) == ParseError::None, "an accepted frame parses");
    FUZZ_CHECK(parseFrame(reply.data(), reply.size(), out) == ParseError::None, "the reply parses");
    FUZZ_CHECK(in.datagrams.size() == out.datagrams.size(), "same number of datagrams");
    for (size_t i = 0; i < in.datagrams.size(); ++i) {
        const DatagramView &a = in.datagrams[i];
        const DatagramView &b = out.datagrams[i];
        FUZZ_CHECK(a.command == b.command && a.index == b.index && a.length == b.length,
                   "datagram command, index and length unchanged");
        if (a.command == static_cast<uint8_t>(Command::NOP))
            FUZZ_CHECK(b.wkc == a.wkc, "a NOP is not counted");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t which = (data[0] >> 1) & 1;
    fuzzsim::SteppedBus stepped(which);
    ecsim::Bus *bus = stepped.bus.get();
    std::vector<uint8_t> reply;
    if (data[0] & 1) {
        for (const std::vector<uint8_t> &f : bringUpFrames(which))
            bus->handleFrame(f.data(), f.size(), reply);
    }
    if (const char *fault = kFaults[(data[1] & ~kCommandLineFlag) % kFaultCount]) {
        // The variety bus has no pressure sensor: the sensor's faults are refused there.
        const std::string answer = bus->command(fault);
        FUZZ_CHECK(answer.rfind("ok", 0) == 0 || (which == 1 && answer.rfind("error: ", 0) == 0),
                   "the fault command is taken (on the sensor's bus) or refused with the reason");
    }

    size_t pos = 2;
    if (data[1] & kCommandLineFlag) {
        // The first chunk is a line of the control channel, as a client of
        // the simulator could send it. Lines naming a file are left out: the
        // fuzzer must not make the model open paths of this machine.
        const fuzzchunks::Chunk c = fuzzchunks::take(data, size, pos);
        const std::string line(c.bytes.begin(), c.bytes.end());
        if (line.find("file") == std::string::npos) {
            const std::string answer = bus->command(line);
            FUZZ_CHECK(answer.rfind("ok", 0) == 0 || answer.rfind("error: ", 0) == 0,
                       "a command is answered with ok or error: <why>");
        }
    }
    while (pos < size) {
        // A copy of exactly the frame's size, so reads past it are caught.
        const std::vector<uint8_t> frame = fuzzchunks::take(data, size, pos).bytes;
        reply.clear();
        if (bus->handleFrame(frame.empty() ? nullptr : frame.data(), frame.size(), reply)) {
            checkReply(frame.data(), frame.size(), reply);
        } else if (bus->lastFrameLost()) {
            ecwire::ParsedFrame parsed;
            FUZZ_CHECK(ecwire::parseFrame(frame.data(), frame.size(), parsed) == ecwire::ParseError::None,
                       "only a frame the slaves processed is lost on its way back");
        }
    }
    return 0;
}
