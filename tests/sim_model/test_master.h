// A minimal master for tests: builds one-datagram frames, passes them through
// a Bus on a clock of its own and returns what came back; the protocol's
// longer sequences (SII reads polling busy, state requests, mailbox
// exchanges) go through the probe, which lets the clock run while it polls.
#pragma once

#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "ecprobe/bringup.h"
#include "ecprobe/probe.h"
#include "ecsim/bus.h"
#include "ecwire/frame.h"
#include "ecwire/le.h"
#include "ecwire/mailbox.h"
#include "ecwire/registers.h"
#include "ecwire/sii.h"
#include "slave.h" // white-box access through Bus::slave

namespace testing {

using namespace ecwire;

struct Reply {
    bool ok = false;
    std::vector<uint8_t> data;
    uint16_t wkc = 0;
    uint16_t adp = 0;
    uint16_t irq = 0;
    uint16_t u16() const { return data.size() >= 2 ? getU16(data.data()) : 0; }
    uint32_t u32() const { return data.size() >= 4 ? getU32(data.data()) : 0; }
};

class TestMaster {
public:
    explicit TestMaster(const std::string &slaves)
        : probe([this](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) {
                    return bus->handleFrame(f.data(), f.size(), r);
                },
                ecprobe::Clock{[this] { return clockNs; }, [this](uint64_t ns) { clockNs += ns; }})
    {
        std::string error;
        bus = ecsim::Bus::create(slaves, &error);
        if (!bus)
            qFatal("cannot create bus '%s': %s", slaves.c_str(), error.c_str());
        bus->setClock([this] { return clockNs; });
        probe.pollNs = 10'000;
    }

    Reply tx(Command cmd, uint32_t address, const std::vector<uint8_t> &data, uint16_t irq = 0)
    {
        FrameBuilder b;
        b.add(cmd, 0x5A, address, data.data(), static_cast<uint16_t>(data.size()), irq);
        return send(b);
    }
    Reply txLen(Command cmd, uint32_t address, uint16_t length)
    {
        FrameBuilder b;
        b.add(cmd, 0x5A, address, nullptr, length);
        return send(b);
    }
    Reply send(FrameBuilder &b)
    {
        const std::vector<uint8_t> &f = b.finish();
        std::vector<uint8_t> out;
        Reply r;
        r.ok = bus->handleFrame(f.data(), f.size(), out);
        if (!r.ok)
            return r;
        ParsedFrame p;
        if (parseFrame(out.data(), out.size(), p) != ParseError::None || p.datagrams.empty()) {
            r.ok = false;
            return r;
        }
        lastFrame = out;
        const DatagramView &d = p.datagrams[0];
        r.data.assign(out.begin() + long(d.dataOffset), out.begin() + long(d.dataOffset + d.length));
        r.wkc = d.wkc;
        r.adp = d.adp;
        r.irq = d.irq;
        return r;
    }
    // Datagram n of the last frame that came back.
    DatagramView datagram(size_t n)
    {
        ParsedFrame p;
        if (parseFrame(lastFrame.data(), lastFrame.size(), p) != ParseError::None || n >= p.datagrams.size())
            return DatagramView();
        return p.datagrams[n];
    }

    static std::vector<uint8_t> le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
    static std::vector<uint8_t> le32(uint32_t v)
    {
        return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }

    // Station addresses 0x1001, 0x1002, ... by position.
    static uint16_t station(size_t position) { return ecprobe::Probe::station(position); }
    void assignStations() { QVERIFY2(probe.assignStations(bus->slaveCount()), probe.error().c_str()); }
    Reply fprd(size_t pos, uint16_t reg, uint16_t length) { return txLen(Command::FPRD, makeAddress(station(pos), reg), length); }
    Reply fpwr(size_t pos, uint16_t reg, const std::vector<uint8_t> &data)
    {
        return tx(Command::FPWR, makeAddress(station(pos), reg), data);
    }
    uint16_t alStatus(size_t pos) { return fprd(pos, reg::AlStatus, 2).u16(); }
    uint16_t alCode(size_t pos) { return fprd(pos, reg::AlStatusCode, 2).u16(); }

    const ecsim::DeviceTiming &timing(size_t pos) { return bus->slave(pos).device().timing; }
    // Lets the device's time for an AL request pass.
    void passAlTime(size_t pos)
    {
        clockNs += std::max(timing(pos).alNs, timing(pos).safeOpNs) + 1;
    }
    // Writes AL control and returns AL status once the slave has had its time for the request.
    uint16_t request(size_t pos, uint16_t state)
    {
        fpwr(pos, reg::AlControl, le16(state));
        passAlTime(pos);
        return alStatus(pos);
    }

    void writeSm(size_t pos, unsigned n, uint16_t start, uint16_t length, uint8_t control, uint8_t activate = 1)
    {
        QVERIFY2(probe.writeSm(station(pos), n, start, length, control, activate), probe.error().c_str());
    }
    void writeFmmu(size_t pos, unsigned n, uint32_t logical, uint16_t length, uint16_t physical, uint8_t type)
    {
        QVERIFY2(probe.writeFmmu(station(pos), n, logical, length, physical, type), probe.error().c_str());
    }
    // The mailbox as the device's SII gives it.
    ecprobe::MailboxLayout mailboxOf(size_t pos) { return ecprobe::mailboxOf(bus->slave(pos).device().sii); }
    void setupMailbox(size_t pos)
    {
        const ecprobe::MailboxLayout m = mailboxOf(pos);
        writeSm(pos, 0, m.outStart, m.outSize, sm::ControlMailboxOut);
        writeSm(pos, 1, m.inStart, m.inSize, sm::ControlMailboxIn);
    }
    // Inputs at SM3 (0x1180 by default) mapped to `logical`, outputs at SM2 to `outLogical`.
    void setupInputs(size_t pos, uint16_t size, uint32_t logical, uint16_t physical = 0x1180, unsigned fmmuNo = 1)
    {
        writeSm(pos, 3, physical, size, sm::ControlInputs);
        writeFmmu(pos, fmmuNo, logical, size, physical, fmmu::TypeRead);
    }
    void setupOutputs(size_t pos, uint16_t size, uint32_t logical, uint16_t physical = 0x1100)
    {
        writeSm(pos, 2, physical, size, sm::ControlOutputs);
        writeFmmu(pos, 0, logical, size, physical, fmmu::TypeWrite);
    }

    // SII words through the EEPROM interface, polling busy in later frames.
    std::vector<uint16_t> readSii(size_t pos, uint32_t word, size_t count)
    {
        std::vector<uint16_t> out;
        if (!probe.readSii(station(pos), word, count, out))
            return {};
        return out;
    }

    // Writes a request into the write mailbox and reads the reply once there.
    bool mailbox(size_t pos, std::vector<uint8_t> request, std::vector<uint8_t> &reply)
    {
        return probe.mailbox(station(pos), mailboxOf(pos), std::move(request), reply);
    }
    bool sdo(size_t pos, uint16_t index, uint8_t sub, bool ca, SdoReply &out)
    {
        counter = mbx::nextCounter(counter);
        std::vector<uint8_t> reply;
        if (!mailbox(pos, encodeSdoUploadRequest(index, sub, ca, counter), reply))
            return false;
        return decodeSdoReply(reply.data(), reply.size(), out);
    }
    // Whole object through normal + segmented transfers; false on abort or error.
    bool upload(size_t pos, uint16_t index, uint8_t sub, bool ca, std::vector<uint8_t> &data, uint32_t *abort = nullptr)
    {
        return probe.upload(station(pos), mailboxOf(pos), index, sub, ca, data, abort);
    }

    // INIT -> PRE-OP -> SAFE-OP -> OP for a sensor at `pos` with inputs at `logical`.
    void sensorToOp(size_t pos, uint32_t logical = 0)
    {
        setupMailbox(pos);
        QCOMPARE(request(pos, al::PreOp), al::PreOp);
        setupInputs(pos, 5, logical);
        QCOMPARE(request(pos, al::SafeOp), al::SafeOp);
        QCOMPARE(request(pos, al::Op), al::Op);
    }

    std::unique_ptr<ecsim::Bus> bus;
    uint64_t clockNs = 1'000'000'000'000ull;
    ecprobe::Probe probe;
    uint8_t counter = 0;
    std::vector<uint8_t> lastFrame;
};

// A bus whose first slave is in PRE-OP with its mailbox set up.
inline std::unique_ptr<TestMaster> preOp(const std::string &bus)
{
    auto m = std::make_unique<TestMaster>(bus);
    m->assignStations();
    m->setupMailbox(0);
    if (m->request(0, al::PreOp) != al::PreOp)
        qFatal("no PRE-OP for %s", bus.c_str());
    return m;
}

} // namespace testing
