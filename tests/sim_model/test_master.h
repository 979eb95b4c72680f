// A minimal master for tests: builds one-datagram frames, passes them through
// a Bus and returns what came back; helpers for the usual bring-up steps.
#pragma once

#include <QtTest>

#include <memory>
#include <string>
#include <vector>

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
    {
        std::string error;
        bus = ecsim::Bus::create(slaves, &error);
        if (!bus)
            qFatal("cannot create bus '%s': %s", slaves.c_str(), error.c_str());
        bus->setClock([this] { return clockNs; });
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

    static std::vector<uint8_t> le16(uint16_t v) { return {uint8_t(v), uint8_t(v >> 8)}; }
    static std::vector<uint8_t> le32(uint32_t v)
    {
        return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    }

    // Station addresses 0x1001, 0x1002, ... by position.
    static uint16_t station(size_t position) { return static_cast<uint16_t>(0x1001 + position); }
    void assignStations()
    {
        for (size_t i = 0; i < bus->slaveCount(); ++i)
            QCOMPARE(tx(Command::APWR, makeAddress(uint16_t(0 - i), reg::StationAddress), le16(station(i))).wkc,
                     uint16_t(1));
    }
    Reply fprd(size_t pos, uint16_t reg, uint16_t length) { return txLen(Command::FPRD, makeAddress(station(pos), reg), length); }
    Reply fpwr(size_t pos, uint16_t reg, const std::vector<uint8_t> &data)
    {
        return tx(Command::FPWR, makeAddress(station(pos), reg), data);
    }
    uint16_t alStatus(size_t pos) { return fprd(pos, reg::AlStatus, 2).u16(); }
    uint16_t alCode(size_t pos) { return fprd(pos, reg::AlStatusCode, 2).u16(); }
    uint16_t request(size_t pos, uint16_t state)
    {
        fpwr(pos, reg::AlControl, le16(state));
        return alStatus(pos);
    }

    void writeSm(size_t pos, unsigned n, uint16_t start, uint16_t length, uint8_t control, uint8_t activate = 1)
    {
        uint8_t raw[sm::EntrySize];
        encodeSm(raw, SmEntry{start, length, control, 0, activate, 0});
        QCOMPARE(fpwr(pos, reg::sm(n), std::vector<uint8_t>(raw, raw + sizeof raw)).wkc, uint16_t(1));
    }
    void writeFmmu(size_t pos, unsigned n, uint32_t logical, uint16_t length, uint16_t physical, uint8_t type)
    {
        FmmuEntry e;
        e.logicalStart = logical;
        e.length = length;
        e.physicalStart = physical;
        e.type = type;
        e.activate = 1;
        uint8_t raw[fmmu::EntrySize];
        encodeFmmu(raw, e);
        QCOMPARE(fpwr(pos, reg::fmmu(n), std::vector<uint8_t>(raw, raw + sizeof raw)).wkc, uint16_t(1));
    }
    // Mailbox SMs as in the SII of the sensor kinds (0x1000/0x1080, 128 bytes each).
    void setupMailbox(size_t pos)
    {
        writeSm(pos, 0, 0x1000, 128, sm::ControlMailboxOut);
        writeSm(pos, 1, 0x1080, 128, sm::ControlMailboxIn);
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

    // SII words through the EEPROM interface (handles 4- and 8-byte slaves).
    std::vector<uint16_t> readSii(size_t pos, uint32_t word, size_t count)
    {
        std::vector<uint16_t> out;
        while (out.size() < count) {
            std::vector<uint8_t> cmd = le16(reg::SiiCmdRead);
            const auto addr = le32(static_cast<uint32_t>(word + out.size()));
            cmd.insert(cmd.end(), addr.begin(), addr.end());
            if (fpwr(pos, reg::SiiControl, cmd).wkc != 1)
                return {};
            int polls = 0;
            uint16_t status;
            while ((status = fprd(pos, reg::SiiControl, 2).u16()) & reg::SiiBusy)
                if (++polls > 10)
                    return {};
            const size_t n = (status & reg::SiiRead8Bytes) ? 4 : 2;
            const Reply d = fprd(pos, reg::SiiData, uint16_t(2 * n));
            for (size_t i = 0; i < n && out.size() < count; ++i)
                out.push_back(getU16(d.data.data() + 2 * i));
        }
        return out;
    }

    // Writes a request into the mailbox-out area and reads the reply.
    bool mailbox(size_t pos, std::vector<uint8_t> request, std::vector<uint8_t> &reply)
    {
        request.resize(128, 0);
        if (fpwr(pos, 0x1000, request).wkc != 1)
            return false;
        const Reply r = fprd(pos, 0x1080, 128);
        if (r.wkc != 1)
            return false;
        reply = r.data;
        return true;
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
        SdoReply r;
        if (!sdo(pos, index, sub, ca, r))
            return false;
        if (r.kind == SdoReply::Abort) {
            if (abort)
                *abort = r.abortCode;
            return false;
        }
        data = r.data;
        bool toggle = false;
        while (r.kind == SdoReply::Normal && data.size() < r.completeSize) {
            counter = mbx::nextCounter(counter);
            std::vector<uint8_t> reply;
            if (!mailbox(pos, encodeSdoSegmentRequest(toggle, counter), reply))
                return false;
            SdoReply s;
            if (!decodeSdoReply(reply.data(), reply.size(), s) || s.kind != SdoReply::Segment || s.toggle != toggle)
                return false;
            data.insert(data.end(), s.data.begin(), s.data.end());
            toggle = !toggle;
            if (s.last)
                break;
        }
        return true;
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
    uint8_t counter = 0;
    std::vector<uint8_t> lastFrame;
};

} // namespace testing
