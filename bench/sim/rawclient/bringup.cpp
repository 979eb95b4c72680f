#include <ecbench/bringup.h>

#include <cstdio>

#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

namespace ecbench {

namespace {

using ecwire::Command;

class Slave0 {
public:
    explicit Slave0(const Exchange &ex) : ex_(ex) {}

    // One datagram to position 0; the reply's data lands in `data`. Fails unless WKC == 1.
    bool io(Command cmd, uint16_t ado, std::vector<uint8_t> &data, std::string &error)
    {
        ecwire::FrameBuilder b;
        b.add(cmd, ++index_, ecwire::makeAddress(0, ado), data.data(), static_cast<uint16_t>(data.size()));
        std::vector<uint8_t> reply;
        if (!ex_(b.finish(), reply)) {
            error = std::string(ecwire::commandName(uint8_t(cmd))) + " of register " + hex(ado) + ": no reply";
            return false;
        }
        ecwire::ParsedFrame parsed;
        const ecwire::ParseError pe = ecwire::parseFrame(reply.data(), reply.size(), parsed);
        if (pe != ecwire::ParseError::None || parsed.datagrams.size() != 1) {
            error = "reply to register " + hex(ado) + " unreadable: " + ecwire::parseErrorText(pe);
            return false;
        }
        const ecwire::DatagramView &d = parsed.datagrams[0];
        if (d.wkc != 1) {
            error = std::string(ecwire::commandName(uint8_t(cmd))) + " of register " + hex(ado) +
                    ": expected working counter 1, got " + std::to_string(d.wkc);
            return false;
        }
        data.assign(reply.begin() + static_cast<long>(d.dataOffset),
                    reply.begin() + static_cast<long>(d.dataOffset + d.length));
        return true;
    }
    bool write(uint16_t ado, std::vector<uint8_t> data, std::string &error)
    {
        return io(Command::APWR, ado, data, error);
    }
    bool read(uint16_t ado, size_t len, std::vector<uint8_t> &out, std::string &error)
    {
        out.assign(len, 0);
        return io(Command::APRD, ado, out, error);
    }
    bool write16(uint16_t ado, uint16_t v, std::string &error)
    {
        std::vector<uint8_t> d(2);
        ecwire::putU16(d.data(), v);
        return write(ado, d, error);
    }

    bool requestState(uint16_t state, std::string &error)
    {
        if (!write16(ecwire::reg::AlControl, state, error))
            return false;
        std::vector<uint8_t> s;
        for (int attempt = 0; attempt < 100; ++attempt) {
            if (!read(ecwire::reg::AlStatus, 6, s, error))
                return false;
            const uint16_t status = ecwire::getU16(s.data());
            if ((status & ecwire::al::StateMask) == (state & ecwire::al::StateMask) &&
                !(status & ecwire::al::ErrorFlag))
                return true;
            if (status & ecwire::al::ErrorFlag) {
                error = std::string("requested ") + ecwire::al::stateName(state & ecwire::al::StateMask) +
                        ", slave is in " + ecwire::al::stateName(status & ecwire::al::StateMask) +
                        " with error, AL status code " +
                        hex(ecwire::getU16(s.data() + (ecwire::reg::AlStatusCode - ecwire::reg::AlStatus)));
                return false;
            }
        }
        error = std::string("slave did not reach ") + ecwire::al::stateName(state & ecwire::al::StateMask);
        return false;
    }

    bool readSii(std::vector<uint16_t> &words, std::string &error)
    {
        size_t wanted = 0x40 + 2;
        while (words.size() < wanted) {
            std::vector<uint8_t> cmd(6, 0);
            ecwire::putU16(cmd.data(), ecwire::reg::SiiCmdRead);
            ecwire::putU32(cmd.data() + 2, static_cast<uint32_t>(words.size()));
            if (!write(ecwire::reg::SiiControl, cmd, error))
                return false;
            std::vector<uint8_t> st;
            int attempt = 0;
            do {
                if (!read(ecwire::reg::SiiControl, 2, st, error))
                    return false;
            } while ((ecwire::getU16(st.data()) & ecwire::reg::SiiBusy) && ++attempt < 100);
            const uint16_t status = ecwire::getU16(st.data());
            if (status & (ecwire::reg::SiiBusy | ecwire::reg::SiiCommandError)) {
                error = "SII read of word " + std::to_string(words.size()) + " failed, status " + hex(status);
                return false;
            }
            std::vector<uint8_t> data;
            if (!read(ecwire::reg::SiiData, 4, data, error))
                return false;
            words.push_back(ecwire::getU16(data.data()));
            words.push_back(ecwire::getU16(data.data() + 2));
            if (words.size() >= wanted) {
                size_t needed = 0;
                const ecwire::SiiScan scan = ecwire::scanSiiImage(words, &needed);
                if (scan == ecwire::SiiScan::Malformed) {
                    error = "SII image is malformed";
                    return false;
                }
                if (scan == ecwire::SiiScan::NeedMore && needed > wanted && needed < 0x10000)
                    wanted = needed;
            }
        }
        return true;
    }

    static std::string hex(unsigned v)
    {
        char b[16];
        std::snprintf(b, sizeof b, "0x%04X", v);
        return b;
    }

private:
    const Exchange &ex_;
    uint8_t index_ = 0;
};

std::vector<uint8_t> encodeSm(const ecwire::SmEntry &e)
{
    std::vector<uint8_t> d(ecwire::sm::EntrySize);
    ecwire::encodeSm(d.data(), e);
    return d;
}

}  // namespace

BringUp bringUpFirstSlave(const Exchange &exchange, uint16_t state)
{
    BringUp r;
    Slave0 s(exchange);
    std::string &e = r.error;
    if (!s.requestState(ecwire::al::Init | ecwire::al::ErrorFlag, e))
        return r;
    std::vector<uint16_t> words;
    if (!s.readSii(words, e))
        return r;
    ecwire::SiiDevice dev;
    if (!ecwire::parseSiiImage(words, dev, &e))
        return r;
    if (dev.hasMailbox()) {
        if (!s.write(ecwire::reg::sm(0), encodeSm({dev.mbxRxOffset, dev.mbxRxSize, ecwire::sm::ControlMailboxOut, 0, 1, 0}), e) ||
            !s.write(ecwire::reg::sm(1),
                     encodeSm({dev.mbxTxOffset, dev.mbxTxSize, ecwire::sm::ControlMailboxIn, 0, 1, 0}), e))
            return r;
    }
    if (!s.requestState(ecwire::al::PreOp, e))
        return r;
    uint32_t logical = 0;
    unsigned fmmu = 0;
    for (const uint8_t type : {ecwire::sii::SmOutputs, ecwire::sii::SmInputs}) {
        for (size_t i = 0; i < dev.syncManagers.size(); ++i) {
            const ecwire::SiiSyncManager &sm = dev.syncManagers[i];
            const uint16_t bytes = static_cast<uint16_t>((dev.pdoBits(static_cast<uint8_t>(i)) + 7) / 8);
            if (sm.type != type || bytes == 0)
                continue;
            const bool out = type == ecwire::sii::SmOutputs;
            ecwire::FmmuEntry f;
            f.logicalStart = logical;
            f.length = bytes;
            f.physicalStart = sm.start;
            f.type = out ? ecwire::fmmu::TypeWrite : ecwire::fmmu::TypeRead;
            f.activate = 1;
            std::vector<uint8_t> fd(ecwire::fmmu::EntrySize);
            ecwire::encodeFmmu(fd.data(), f);
            if (!s.write(ecwire::reg::sm(static_cast<unsigned>(i)),
                         encodeSm({sm.start, bytes, sm.control, 0, 1, 0}), e) ||
                !s.write(ecwire::reg::fmmu(fmmu), fd, e))
                return r;
            ++fmmu;
            logical += bytes;
            (out ? r.outputBytes : r.inputBytes) += bytes;
        }
    }
    r.expectedLrwWkc = static_cast<uint16_t>((r.outputBytes ? 2 : 0) + (r.inputBytes ? 1 : 0));
    if (!s.requestState(ecwire::al::SafeOp, e))
        return r;
    if (state == ecwire::al::Op && !s.requestState(ecwire::al::Op, e))
        return r;
    r.ok = true;
    return r;
}

std::vector<uint8_t> lrwFrame(uint16_t length, uint8_t index)
{
    ecwire::FrameBuilder b;
    b.add(Command::LRW, index, 0, nullptr, length);
    return b.finish();
}

std::vector<uint8_t> brdFrame(uint8_t index)
{
    ecwire::FrameBuilder b;
    b.add(Command::BRD, index, ecwire::makeAddress(0, ecwire::reg::Type), nullptr, 2);
    return b.finish();
}

}  // namespace ecbench
