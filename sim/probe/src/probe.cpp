#include <ecprobe/probe.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <ecwire/hex.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>

namespace ecprobe {

using ecwire::Command;
using ecwire::hex;
namespace al = ecwire::al;
namespace reg = ecwire::reg;

Clock monotonicClock()
{
    Clock c;
    c.now = [] {
        return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
    };
    c.wait = [](uint64_t ns) { std::this_thread::sleep_for(std::chrono::nanoseconds(ns)); };
    return c;
}

Probe::Probe(Exchange exchange, Clock clock) : exchange_(std::move(exchange)), clock_(std::move(clock)) {}

bool Probe::fail(const std::string &why)
{
    error_ = why;
    return false;
}

bool Probe::pollUntil(uint64_t deadline, Backoff &pause, const std::function<Poll()> &step,
                      const std::function<std::string()> &timeout)
{
    for (;;) {
        switch (step()) {
        case Poll::Done:
            return true;
        case Poll::Failed:
            return false;
        case Poll::Again:
            break;
        }
        if (deadlinePassed(deadline))
            return fail(timeout());
        wait(pause.step());
    }
}

bool Probe::pollUntil(const std::function<Poll()> &step, const std::function<std::string()> &timeout)
{
    Backoff pause(*this);
    return pollUntil(now() + timeoutNs, pause, step, timeout);
}

int Probe::io(Command command, uint32_t address, std::vector<uint8_t> &data)
{
    ecwire::FrameBuilder b;
    const uint8_t index = ++index_;
    b.add(command, index, address, data.data(), static_cast<uint16_t>(data.size()));
    std::vector<uint8_t> reply;
    const std::string what = std::string(ecwire::commandName(uint8_t(command))) + " of " + hex(address & 0xFFFF);
    if (!exchange_(b.finish(), reply)) {
        error_ = what + ": no reply";
        return -1;
    }
    ecwire::ParsedFrame parsed;
    const ecwire::ParseError pe = ecwire::parseFrame(reply.data(), reply.size(), parsed);
    if (pe != ecwire::ParseError::None || parsed.datagrams.size() != 1 || parsed.datagrams[0].index != index) {
        error_ = what + ": reply unreadable (" + ecwire::parseErrorText(pe) + ")";
        return -1;
    }
    const ecwire::DatagramView &d = parsed.datagrams[0];
    data.assign(reply.begin() + static_cast<long>(d.dataOffset),
                reply.begin() + static_cast<long>(d.dataOffset + d.length));
    return d.wkc;
}

bool Probe::read(uint16_t station, uint16_t ado, size_t length, std::vector<uint8_t> &out)
{
    out.assign(length, 0);
    const int wkc = io(Command::FPRD, ecwire::makeAddress(station, ado), out);
    if (wkc < 0)
        return false;
    if (wkc != 1)
        return fail("FPRD of " + hex(ado) + " at station " + hex(station) + ": expected working counter 1, got "
                    + std::to_string(wkc));
    return true;
}

bool Probe::read16(uint16_t station, uint16_t ado, uint16_t &value)
{
    std::vector<uint8_t> d;
    if (!read(station, ado, 2, d))
        return false;
    value = ecwire::getU16(d.data());
    return true;
}

bool Probe::write(uint16_t station, uint16_t ado, std::vector<uint8_t> data)
{
    const int wkc = io(Command::FPWR, ecwire::makeAddress(station, ado), data);
    if (wkc < 0)
        return false;
    if (wkc != 1)
        return fail("FPWR of " + hex(ado) + " at station " + hex(station) + ": expected working counter 1, got "
                    + std::to_string(wkc));
    return true;
}

bool Probe::write16(uint16_t station, uint16_t ado, uint16_t value)
{
    std::vector<uint8_t> d(2);
    ecwire::putU16(d.data(), value);
    return write(station, ado, d);
}

int Probe::countSlaves()
{
    std::vector<uint8_t> d(2, 0);
    return io(Command::BRD, ecwire::makeAddress(0, reg::Type), d);
}

bool Probe::assignStations(size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        std::vector<uint8_t> d(2);
        ecwire::putU16(d.data(), station(i));
        const int wkc = io(Command::APWR, ecwire::makeAddress(static_cast<uint16_t>(0 - i), reg::StationAddress), d);
        if (wkc != 1)
            return fail("station address for position " + std::to_string(i) + ": working counter "
                        + std::to_string(wkc));
    }
    return true;
}

bool Probe::writeSm(uint16_t station, unsigned n, uint16_t start, uint16_t length, uint8_t control,
                    uint8_t activate)
{
    std::vector<uint8_t> d(ecwire::sm::EntrySize);
    ecwire::encodeSm(d.data(), ecwire::SmEntry{start, length, control, 0, activate, 0});
    return write(station, reg::sm(n), d);
}

bool Probe::writeFmmu(uint16_t station, unsigned n, uint32_t logical, uint16_t length, uint16_t physical,
                      uint8_t type)
{
    ecwire::FmmuEntry f;
    f.logicalStart = logical;
    f.length = length;
    f.physicalStart = physical;
    f.type = type;
    f.activate = 1;
    std::vector<uint8_t> d(ecwire::fmmu::EntrySize);
    ecwire::encodeFmmu(d.data(), f);
    return write(station, reg::fmmu(n), d);
}

bool Probe::requestState(uint16_t station, uint16_t control)
{
    const uint16_t state = control & al::StateMask;
    uint16_t before = 0;
    if (!read16(station, reg::AlStatus, before) || !write16(station, reg::AlControl, control))
        return false;
    return pollUntil(
        [&] {
            std::vector<uint8_t> s;
            if (!read(station, reg::AlStatus, 6, s))
                return Poll::Failed;
            lastAlStatus = ecwire::getU16(s.data());
            lastAlCode = ecwire::getU16(s.data() + (reg::AlStatusCode - reg::AlStatus));
            if (lastAlStatus == state)
                return Poll::Done;
            // An error indication counts once it is not the one shown before the request.
            if ((lastAlStatus & al::ErrorFlag) && (!(before & al::ErrorFlag) || lastAlStatus != before)) {
                fail(std::string("requested ") + al::stateName(state) + ", slave " + hex(station) + " is in "
                     + al::stateName(lastAlStatus & al::StateMask) + " with error, AL status code " + hex(lastAlCode));
                return Poll::Failed;
            }
            return Poll::Again;
        },
        [&] {
            return std::string("slave ") + hex(station) + " did not reach " + al::stateName(state)
                 + " in time (AL status " + hex(lastAlStatus) + ")";
        });
}

} // namespace ecprobe
