#include "ecsim/bus.h"

#include <chrono>

#include "command_words.h"
#include "ecwire/frame.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

namespace {
constexpr size_t MaxSlaves = 64;

uint64_t monotonicNs()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

} // namespace

Bus::Bus() : clock_(monotonicNs) {}
Bus::~Bus() = default;

std::string Bus::deviceKinds() { return deviceKindList(); }
std::string Bus::deviceOptions() { return deviceOptionList(); }

std::unique_ptr<Bus> Bus::create(const std::string &slaves, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return std::unique_ptr<Bus>();
    };
    std::vector<DeviceDescription> devices;
    for (const std::string &entry : splitTrimmed(slaves, ',')) {
        if (entry.empty()) {
            if (trimmed(slaves).empty())
                return fail("no slaves given (e.g. sensor,dig-out,dig-in)");
            return fail("empty device kind in slave list '" + slaves + "'");
        }
        DeviceDescription device;
        std::string why;
        if (!describeDevice(entry, device, &why))
            return fail(why);
        devices.push_back(std::move(device));
        if (devices.size() > MaxSlaves)
            return fail("more than " + std::to_string(MaxSlaves) + " slaves");
    }
    std::unique_ptr<Bus> bus(new Bus());
    const uint64_t now = bus->now();
    for (size_t i = 0; i < devices.size(); ++i)
        bus->slaves_.push_back(std::make_unique<Slave>(std::move(devices[i]), i, now));
    for (size_t i = 0; i < bus->slaves_.size(); ++i)
        bus->slaves_[i]->setChain(i, bus->slaves_.size());
    return bus;
}

uint64_t Bus::now() const { return clock_(); }

void Bus::advance()
{
    const uint64_t now = clock_();
    for (auto &s : slaves_)
        s->catchUp(now);
}

void Bus::setClock(std::function<uint64_t()> nowNs)
{
    clock_ = nowNs ? std::move(nowNs) : std::function<uint64_t()>(monotonicNs);
    const uint64_t now = clock_();
    for (auto &s : slaves_)
        s->powerUp(now);
}

size_t Bus::slaveCount() const { return slaves_.size(); }

Slave &Bus::slave(size_t position) { return *slaves_.at(position); }

bool Bus::handleFrame(const uint8_t *frame, size_t len, std::vector<uint8_t> &reply)
{
    ++stats_.frames;
    lastLost_ = false;
    ParsedFrame parsed;
    const ParseError e = parseFrame(frame, len, parsed);
    if (e != ParseError::None) {
        ++stats_.malformed;
        lastError_ = parseErrorText(e);
        return false;
    }
    reply.assign(frame, frame + len);
    FrameContext ctx;
    ctx.nowNs = clock_();
    ctx.slaveCount = slaves_.size();
    bool marked = false, lost = false;
    for (size_t i = 0; i < slaves_.size(); ++i) {
        ctx.position = i;
        Slave &s = *slaves_[i];
        s.beginFrame(ctx.nowNs);
        for (const DatagramView &d : parsed.datagrams)
            s.processDatagram(reply.data(), d.offset, ctx);
        s.endFrame();
        marked |= s.device().marksReturned;
        lost |= s.frameLost();
    }
    // On its way back the frame leaves every slave through port 0; an ESC
    // that marks returned frames sets the bit there, so one such slave in the
    // chain is enough.
    if (marked)
        reply[eth::Source] |= eth::SourceReturnedBit;
    stats_.datagrams += parsed.datagrams.size();
    if (lost) {
        ++stats_.lost;
        lastLost_ = true;
        lastError_ = "a mailbox reply was lost on its way back (lose-reply)";
        return false;
    }
    ++stats_.answered;
    return true;
}

} // namespace ecsim
