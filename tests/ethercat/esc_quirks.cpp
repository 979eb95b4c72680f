#include "esc_quirks.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

#include <algorithm>

namespace reg = ecwire::reg;

namespace {

constexpr uint16_t kSiiFirst = reg::SiiAccess;   // 0x0500
constexpr uint16_t kSiiEnd = reg::SiiEnd;        // 0x0510
constexpr size_t kConfigAt = reg::SiiAccess - kSiiFirst;
constexpr size_t kPdiAccessAt = reg::SiiPdiAccess - kSiiFirst;
constexpr size_t kControlAt = reg::SiiControl - kSiiFirst;
constexpr size_t kAddressAt = reg::SiiAddress - kSiiFirst;
constexpr size_t kDataAt = reg::SiiData - kSiiFirst;
// Upper halves of the 64-bit clock registers: receive time of the
// processing unit (0x0918) and system time offset (0x0920).
constexpr uint16_t kUpperUnit = reg::DcRecvTimeUnit + 4;
constexpr uint16_t kUpperOffset = reg::DcSystemTimeOffset + 4;

bool isRead(uint8_t c)
{
    using ecwire::Command;
    return c == uint8_t(Command::APRD) || c == uint8_t(Command::FPRD) || c == uint8_t(Command::BRD)
        || c == uint8_t(Command::APRW) || c == uint8_t(Command::FPRW) || c == uint8_t(Command::BRW);
}

bool isWrite(uint8_t c)
{
    using ecwire::Command;
    return c == uint8_t(Command::APWR) || c == uint8_t(Command::FPWR) || c == uint8_t(Command::BWR)
        || c == uint8_t(Command::APRW) || c == uint8_t(Command::FPRW) || c == uint8_t(Command::BRW);
}

bool overlaps(uint32_t a, size_t n, uint32_t b, size_t m)
{
    return n > 0 && m > 0 && a < b + m && b < a + n;
}

} // namespace

EscQuirks::EscQuirks(SimTransport &t) : t_(t)
{
    t_.rewrite = [this](const std::vector<uint8_t> &request, std::vector<uint8_t> &reply) { rewrite(request, reply); };
}

EscQuirks::Slave &EscQuirks::slave(int position)
{
    return slaves_[position];
}

void EscQuirks::setSii(int position, Sii sii)
{
    Slave &s = slave(position);
    s.hasSii = true;
    s.sii = SiiState();
    s.sii.cfg = std::move(sii);
    s.sii.loadingLeft = s.sii.cfg.loadingFrames;
    uint16_t status = s.sii.cfg.eightBytes ? reg::SiiRead8Bytes : 0;
    if (s.sii.loadingLeft > 0)
        status |= reg::SiiBusy;
    ecwire::putU16(s.sii.regs + kControlAt, status);
}

void EscQuirks::pdiHoldsSii(int position, bool yields)
{
    SiiState &s = slave(position).sii;
    s.regs[kPdiAccessAt] = reg::SiiPdiHasAccess;
    s.pdiYields = yields;
    ecwire::putU32(s.regs + kAddressAt, 0x77);
}

void EscQuirks::patchRegister(int position, uint16_t address, std::vector<uint8_t> bytes)
{
    Slave &s = slave(position);
    for (size_t i = 0; i < bytes.size(); ++i)
        s.patch[uint16_t(address + i)] = bytes[i];
}

void EscQuirks::dc32(int position)
{
    slave(position).dc32 = true;
}

void EscQuirks::startOfFrame(SiiState &s)
{
    uint16_t status = ecwire::getU16(s.regs + kControlAt);
    if (s.loadingLeft > 0 && --s.loadingLeft == 0)
        status &= uint16_t(~reg::SiiBusy);
    if (s.busyLeft > 0 && --s.busyLeft == 0) {
        status &= uint16_t(~(reg::SiiBusy | reg::SiiCmdMask));
        const uint32_t address = ecwire::getU32(s.regs + kAddressAt);
        const unsigned words = s.cfg.eightBytes ? 4 : 2;
        for (unsigned i = 0; i < words; ++i) {
            const uint64_t a = uint64_t(address) + i;
            ecwire::putU16(s.regs + kDataAt + 2 * i, a < s.cfg.image.size() ? s.cfg.image[a] : 0xFFFF);
        }
    }
    ecwire::putU16(s.regs + kControlAt, status);
}

void EscQuirks::endOfFrame(SiiState &s)
{
    if (!s.pending)
        return;
    s.pending = false;
    uint16_t status = ecwire::getU16(s.regs + kControlAt);
    const uint16_t command = s.pendingControl & reg::SiiCmdMask;
    if (command == 0) {
        status &= uint16_t(~reg::SiiCommandError);
    } else if (status & reg::SiiCommandError) {
        // A new command waits until the error is cleared.
    } else if (command == reg::SiiCmdRead) {
        status = uint16_t((status & ~reg::SiiCmdMask) | reg::SiiCmdRead | reg::SiiBusy);
        s.busyLeft = std::max(1, s.cfg.busyFrames);
    } else {
        status |= reg::SiiCommandError; // writes and reloads: not offered
    }
    ecwire::putU16(s.regs + kControlAt, status);
}

void EscQuirks::siiAccess(SiiState &s, bool read, bool write, uint16_t ado, const uint8_t *in, uint8_t *out, size_t len)
{
    // The EEPROM is EtherCAT's only while neither register gives it to the processor.
    const bool pdi = (s.regs[kConfigAt] & reg::SiiOfferedToPdi) || (s.regs[kPdiAccessAt] & reg::SiiPdiHasAccess);
    const bool busy = (ecwire::getU16(s.regs + kControlAt) & reg::SiiBusy) != 0;
    if (read && s.pending && overlaps(ado, len, reg::SiiData, 8))
        ++siiDataReadEarly;
    for (size_t i = 0; i < len; ++i) {
        const uint32_t a = uint32_t(ado) + i;
        if (a < kSiiFirst || a >= kSiiEnd)
            continue;
        const size_t r = a - kSiiFirst;
        if (read)
            out[i] = s.regs[r];
        if (!write)
            continue;
        if (r == kConfigAt) {
            s.regs[r] = uint8_t(in[i] & reg::SiiOfferedToPdi);
            if ((in[i] & reg::SiiForceEcatAccess) && s.pdiYields)
                s.regs[kPdiAccessAt] = 0;
            continue;
        }
        const bool control = r == kControlAt || r == kControlAt + 1;
        const bool address = r >= kAddressAt && r < kAddressAt + 4;
        if ((busy || pdi) && (control || address)) {
            if (r == kControlAt && busy)
                ++siiWritesWhileBusy;
            continue;
        }
        if (address)
            s.regs[r] = in[i];
        if (control) {
            uint8_t b[2];
            ecwire::putU16(b, s.pending ? s.pendingControl : ecwire::getU16(s.regs + kControlAt));
            b[r - kControlAt] = in[i];
            s.pendingControl = ecwire::getU16(b);
            s.pending = true;
        }
    }
}

void EscQuirks::rewrite(const std::vector<uint8_t> &request, std::vector<uint8_t> &reply)
{
    ecwire::ParsedFrame req, rep;
    if (ecwire::parseFrame(request.data(), request.size(), req) != ecwire::ParseError::None
        || ecwire::parseFrame(reply.data(), reply.size(), rep) != ecwire::ParseError::None
        || req.datagrams.size() != rep.datagrams.size())
        return;
    for (auto &entry : slaves_)
        if (entry.second.hasSii)
            startOfFrame(entry.second.sii);
    for (size_t i = 0; i < req.datagrams.size(); ++i) {
        const ecwire::DatagramView &q = req.datagrams[i];
        const ecwire::DatagramView &p = rep.datagrams[i];
        const uint8_t *in = request.data() + q.dataOffset;
        uint8_t *out = reply.data() + p.dataOffset;
        using ecwire::Command;
        const Command c = Command(q.command);
        if (c == Command::APWR && q.ado == reg::StationAddress && q.length >= 2)
            station_[uint16_t(0 - q.adp)] = ecwire::getU16(in);
        for (auto &entry : slaves_) {
            const int position = entry.first;
            Slave &s = entry.second;
            const bool positional = c == Command::APRD || c == Command::APWR || c == Command::APRW;
            const bool configured = c == Command::FPRD || c == Command::FPWR || c == Command::FPRW;
            const bool broadcast = c == Command::BRD || c == Command::BWR || c == Command::BRW;
            const auto st = station_.find(position);
            const bool addressed = broadcast || (positional && uint16_t(0 - q.adp) == position)
                || (configured && st != station_.end() && st->second == q.adp);
            if (!addressed)
                continue;
            const bool read = isRead(q.command), write = isWrite(q.command);
            const bool siiRange = overlaps(q.ado, q.length, kSiiFirst, kSiiEnd - kSiiFirst);
            if (s.hasSii && siiRange && (!broadcast || (write && q.ado == reg::SiiAccess && q.length <= 2)))
                siiAccess(s.sii, read, write, q.ado, in, out, q.length);
            if (read) {
                for (size_t k = 0; k < q.length; ++k) {
                    const auto it = s.patch.find(uint16_t(q.ado + k));
                    if (it != s.patch.end())
                        out[k] = it->second;
                }
                if (overlaps(q.ado, q.length, reg::Features, 2) && s.dc32) {
                    const size_t at = size_t(reg::Features) - q.ado;
                    uint8_t f[2] = {at < q.length ? out[at] : uint8_t(0),
                                    at + 1 < q.length ? out[at + 1] : uint8_t(0)};
                    ecwire::putU16(f, uint16_t(ecwire::getU16(f) & ~reg::FeatureDc64));
                    for (size_t k = 0; k < 2; ++k)
                        if (at + k < q.length)
                            out[at + k] = f[k];
                }
            }
            if (s.dc32 && !broadcast
                && (overlaps(q.ado, q.length, kUpperUnit, 4) || overlaps(q.ado, q.length, kUpperOffset, 4))) {
                ++dcUpperHalfAccesses;
                if (read)
                    for (size_t k = 0; k < q.length; ++k) {
                        const uint32_t a = uint32_t(q.ado) + k;
                        if ((a >= kUpperUnit && a < kUpperUnit + 4u) || (a >= kUpperOffset && a < kUpperOffset + 4u))
                            out[k] = 0;
                    }
            }
        }
    }
    for (auto &entry : slaves_)
        if (entry.second.hasSii)
            endOfFrame(entry.second.sii);
}
