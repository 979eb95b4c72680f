#include "txrx.h"

#include "clock.h"

#include <ecwire/le.h>

#include <cstring>
#include <vector>

namespace ethercat {

namespace {

// Source address of our frames. Bit 1 of the first byte stays clear, so that
// in a capture the replies of slaves that set it stand apart.
constexpr uint8_t kBroadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr uint8_t kSource[6] = {0x00, 0x45, 0x43, 0x4D, 0x53, 0x54};
static_assert((kSource[0] & ecwire::eth::SourceReturnedBit) == 0, "source must not look returned");

bool isWrite(ecwire::Command c)
{
    using ecwire::Command;
    return c == Command::APWR || c == Command::FPWR || c == Command::BWR || c == Command::LWR
        || c == Command::NOP;
}

} // namespace

Engine::Engine(Transport *t) : transport(t), builder(kBroadcast, kSource)
{
    parsed.datagrams.reserve(16);
}

int sendFrame(Engine &e, const Datagram *datagrams, size_t count)
{
    if (!e.transport || count == 0)
        return -1;
    const uint8_t index = e.nextIndex();
    e.builder.clear();
    for (size_t i = 0; i < count; ++i) {
        const Datagram &d = datagrams[i];
        if (!e.builder.add(d.command, index, d.address, d.data, d.length))
            return -1;
    }
    const std::vector<uint8_t> &frame = e.builder.finish();
    if (!e.transport->send(frame.data(), frame.size()))
        return -1;
    return index;
}

bool acceptReply(Engine &e, const uint8_t *frame, size_t len, uint8_t index, Datagram *datagrams,
                 size_t count)
{
    // Not every slave marks the source address of what it sends back, so the
    // mark is not looked at: the capture takes received frames only, and a
    // reply is ours when its index, commands and lengths are. A frame check
    // sequence after the largest frame is cut off before parsing.
    if (len > ecwire::eth::MaxFrameSize)
        len = ecwire::eth::MaxFrameSize;
    if (ecwire::parseFrame(frame, len, e.parsed) != ecwire::ParseError::None)
        return false;
    const auto &got = e.parsed.datagrams;
    if (got.size() != count || got[0].index != index)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (got[i].command != static_cast<uint8_t>(datagrams[i].command)
            || got[i].length != datagrams[i].length)
            return false;
        // ETG.1000.4 datagram header, circulating bit: a slave whose port 0
        // is closed (the ring is broken towards the master) sets it, and
        // destroys a frame that comes round to it again. A reply carrying
        // it has gone round that loop: slaves may have processed its
        // datagrams twice, so neither its data nor its working counters
        // can be trusted. It counts as not come back.
        if (got[i].circulating)
            return false;
    }
    for (size_t i = 0; i < count; ++i) {
        Datagram &d = datagrams[i];
        d.wkc = got[i].wkc;
        if (d.data && !isWrite(d.command) && d.keep < d.length)
            std::memcpy(d.data + d.keep, frame + got[i].dataOffset + d.keep, d.length - d.keep);
    }
    return true;
}

int exchange(Engine &e, Datagram *datagrams, size_t count, int timeoutUs)
{
    const int sent = sendFrame(e, datagrams, count);
    if (sent < 0)
        return EC_NOFRAME;
    const int64_t deadline = nowUs() + timeoutUs;
    for (;;) {
        const int64_t left = deadline - nowUs();
        if (left <= 0)
            return EC_NOFRAME;
        const int n = e.transport->receive(e.rx.data(), e.rx.size(), int(left));
        if (n < 0)
            return EC_NOFRAME;
        if (n == 0)
            continue;
        if (acceptReply(e, e.rx.data(), size_t(n), uint8_t(sent), datagrams, count))
            return 1;
        ++e.dropped;
    }
}

int transfer(ecx_contextt *context, ecwire::Command command, uint32_t address, void *data,
             uint16_t length, int timeoutUs, int tries)
{
    Engine *e = engineOf(context);
    if (!e)
        return EC_NOFRAME;
    for (int t = 0; t < tries; ++t) {
        Datagram d;
        d.command = command;
        d.address = address;
        d.data = static_cast<uint8_t *>(data);
        d.length = length;
        if (exchange(*e, &d, 1, timeoutUs) == 1)
            return d.wkc;
    }
    return EC_NOFRAME;
}

int fprd(ecx_contextt *c, uint16_t station, uint16_t ado, void *data, uint16_t length)
{
    return transfer(c, ecwire::Command::FPRD, ecwire::makeAddress(station, ado), data, length);
}

int fpwr(ecx_contextt *c, uint16_t station, uint16_t ado, const void *data, uint16_t length)
{
    // Write commands never copy back, so the buffer is only read.
    return transfer(c, ecwire::Command::FPWR, ecwire::makeAddress(station, ado), const_cast<void *>(data),
                    length);
}

int brd(ecx_contextt *c, uint16_t ado, void *data, uint16_t length)
{
    return transfer(c, ecwire::Command::BRD, ecwire::makeAddress(0, ado), data, length);
}

int bwr(ecx_contextt *c, uint16_t ado, const void *data, uint16_t length)
{
    return transfer(c, ecwire::Command::BWR, ecwire::makeAddress(0, ado), const_cast<void *>(data), length);
}

int fpwrU16(ecx_contextt *c, uint16_t station, uint16_t ado, uint16_t value)
{
    uint8_t b[2];
    ecwire::putU16(b, value);
    return fpwr(c, station, ado, b, 2);
}

int bwrU16(ecx_contextt *c, uint16_t ado, uint16_t value)
{
    uint8_t b[2];
    ecwire::putU16(b, value);
    return bwr(c, ado, b, 2);
}

} // namespace ethercat
