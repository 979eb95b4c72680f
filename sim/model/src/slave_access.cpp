// Datagram processing of one slave: addressing, working counters, FMMU
// mapping and the SyncManager rules that decide whether an access succeeds.
#include <algorithm>
#include <cstring>

#include "ecwire/frame.h"
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

namespace {

constexpr unsigned MaxFmmus = 8;

bool overlaps(uint32_t a, size_t n, uint32_t b, size_t m)
{
    return n > 0 && m > 0 && a < b + m && b < a + n;
}

bool covers(uint32_t a, size_t n, uint32_t byte)
{
    return byte >= a && byte < a + n;
}

// Copies `bits` bits from src (starting at bit srcBit) to dst (starting at dstBit), LSB first.
void copyBits(const uint8_t *src, size_t srcBit, uint8_t *dst, size_t dstBit, size_t bits)
{
    if (srcBit % 8 == 0 && dstBit % 8 == 0 && bits % 8 == 0) {
        std::memcpy(dst + dstBit / 8, src + srcBit / 8, bits / 8);
        return;
    }
    for (size_t i = 0; i < bits; ++i) {
        const size_t s = srcBit + i, d = dstBit + i;
        const uint8_t bit = (src[s / 8] >> (s % 8)) & 1u;
        dst[d / 8] = static_cast<uint8_t>((dst[d / 8] & ~(1u << (d % 8))) | (bit << (d % 8)));
    }
}

void addWkc(uint8_t *d, size_t length, uint16_t inc)
{
    uint8_t *w = d + dgram::HeaderSize + length;
    putU16(w, static_cast<uint16_t>(getU16(w) + inc));
}

} // namespace

bool Slave::addressedByStation(uint16_t adp) const
{
    if (adp == mem_.u16(reg::StationAddress))
        return true;
    const bool aliasEnabled = (mem_.u8(reg::DlControlAliasByte) & 0x01) != 0;
    return aliasEnabled && adp == mem_.u16(reg::StationAlias);
}

void Slave::processDatagram(uint8_t *frame, size_t offset, const FrameContext &ctx)
{
    uint8_t *d = frame + offset;
    const uint8_t command = d[dgram::Command];
    const uint16_t adp = getU16(d + dgram::Adp);
    const uint16_t ado = getU16(d + dgram::Ado);
    putU16(d + dgram::Irq,
           static_cast<uint16_t>(getU16(d + dgram::Irq) | (mem_.u16(reg::EventRequest) & mem_.u16(reg::EventMask))));

    switch (static_cast<Command>(command)) {
    case Command::APRD:
    case Command::APWR:
    case Command::APRW:
    case Command::ARMW:
        putU16(d + dgram::Adp, static_cast<uint16_t>(adp + 1));
        if (command == uint8_t(Command::ARMW) || adp == 0)
            physical(frame, offset, adp == 0 ? command : uint8_t(Command::FRMW) /*write role*/, ado, ctx);
        break;
    case Command::FPRD:
    case Command::FPWR:
    case Command::FPRW:
        if (addressedByStation(adp))
            physical(frame, offset, command, ado, ctx);
        break;
    case Command::FRMW:
        // The addressed slave reads, every other slave writes.
        physical(frame, offset, addressedByStation(adp) ? uint8_t(Command::ARMW) : uint8_t(Command::FRMW), ado, ctx);
        break;
    case Command::BRD:
    case Command::BWR:
    case Command::BRW:
        putU16(d + dgram::Adp, static_cast<uint16_t>(adp + 1));
        physical(frame, offset, command, ado, ctx);
        break;
    case Command::LRW:
        if (!device_.lrw)
            break; // this ESC does not take LRW: the datagram passes untouched
        logical(frame, offset, command, ctx);
        break;
    case Command::LRD:
    case Command::LWR:
        logical(frame, offset, command, ctx);
        break;
    default:
        break; // NOP and unknown commands pass untouched
    }
}

// `command` here is the role: for the read-modify-write commands ARMW means
// "this slave reads" and FRMW "this slave writes".
void Slave::physical(uint8_t *frame, size_t offset, uint8_t command, uint16_t address, const FrameContext &ctx)
{
    uint8_t *d = frame + offset;
    const size_t length = getU16(d + dgram::LenFlags) & dgram::LengthMask;
    uint8_t *data = d + dgram::HeaderSize;
    if (!mem_.inRange(address, length))
        return; // past the end of memory: not answered
    bool read = false, write = false;
    switch (static_cast<Command>(command)) {
    case Command::APRD: case Command::FPRD: case Command::BRD: case Command::ARMW: read = true; break;
    case Command::APWR: case Command::FPWR: case Command::BWR: case Command::FRMW: write = true; break;
    case Command::APRW: case Command::FPRW: case Command::BRW: read = write = true; break;
    default: return;
    }
    const bool orInto = command == uint8_t(Command::BRD) || command == uint8_t(Command::BRW);
    uint16_t inc = 0;
    const uint8_t *source = data;
    if (read && write) {
        std::memcpy(incoming_.data(), data, length);
        source = incoming_.data();
    }
    if (read && masterRead(address, scratchA_.data(), length, ctx)) {
        if (orInto)
            for (size_t i = 0; i < length; ++i)
                data[i] |= scratchA_[i];
        else
            std::memcpy(data, scratchA_.data(), length);
        inc += 1;
    }
    if (write && masterWrite(address, source, length, ctx))
        inc += read ? 2 : 1;
    addWkc(d, length, inc);
}

void Slave::logical(uint8_t *frame, size_t offset, uint8_t command, const FrameContext &ctx)
{
    uint8_t *d = frame + offset;
    const size_t length = getU16(d + dgram::LenFlags) & dgram::LengthMask;
    if (length == 0)
        return;
    uint8_t *data = d + dgram::HeaderSize;
    const uint64_t logicalStart = getU32(d + dgram::Address);
    const bool lrw = command == uint8_t(Command::LRW);
    if (lrw)
        std::memcpy(incoming_.data(), data, length);
    const uint8_t *source = lrw ? incoming_.data() : data;
    const uint64_t dFirst = logicalStart * 8, dLast = (logicalStart + length) * 8 - 1;
    bool readDone = false, writeDone = false;

    for (unsigned n = 0; n < MaxFmmus; ++n) {
        const FmmuEntry f = decodeFmmu(mem_.data() + reg::fmmu(n));
        if (!(f.activate & 0x01) || f.length == 0)
            continue;
        const bool fr = (f.type & fmmu::TypeRead) && command != uint8_t(Command::LWR);
        const bool fw = (f.type & fmmu::TypeWrite) && command != uint8_t(Command::LRD);
        if (!fr && !fw)
            continue;
        const uint64_t fFirst = uint64_t(f.logicalStart) * 8 + (f.logicalStartBit & 7);
        const uint64_t fLast = (uint64_t(f.logicalStart) + f.length - 1) * 8 + (f.logicalStopBit & 7);
        if (fLast < fFirst)
            continue;
        const uint64_t lo = std::max(fFirst, dFirst), hi = std::min(fLast, dLast);
        if (lo > hi)
            continue;
        const size_t bits = static_cast<size_t>(hi - lo + 1);
        const uint64_t pBit = uint64_t(f.physicalStart) * 8 + (f.physicalStartBit & 7) + (lo - fFirst);
        const uint64_t pFirst = pBit / 8, pLast = (pBit + bits - 1) / 8;
        const size_t pLen = static_cast<size_t>(pLast - pFirst + 1);
        if (!mem_.inRange(static_cast<uint32_t>(std::min<uint64_t>(pFirst, 0xFFFFFFFFu)), pLen))
            continue; // maps past the end of memory: not answered
        const uint16_t phys = static_cast<uint16_t>(pFirst);
        const size_t frameBit = static_cast<size_t>(lo - dFirst), memBit = static_cast<size_t>(pBit % 8);
        if (fr && masterRead(phys, scratchA_.data(), pLen, ctx)) {
            copyBits(scratchA_.data(), memBit, data, frameBit, bits);
            readDone = true;
        }
        if (fw) {
            std::memcpy(scratchB_.data(), mem_.data() + phys, pLen);
            copyBits(source, frameBit, scratchB_.data(), memBit, bits);
            if (masterWrite(phys, scratchB_.data(), pLen, ctx))
                writeDone = true;
        }
    }
    uint16_t inc = readDone ? 1 : 0;
    if (writeDone)
        inc += lrw ? 2 : 1;
    addWkc(d, length, inc);
}

bool Slave::smAllows(uint16_t address, size_t length, bool write) const
{
    const uint16_t state = alStatus() & al::StateMask;
    for (unsigned n = 0; n < SyncManagers; ++n) {
        const SmEntry &e = sm(n);
        if (!(e.activate & sm::ActivateEnable) || !overlaps(address, length, e.physicalStart, e.length))
            continue;
        const bool masterWrites = (e.control & sm::DirMask) == sm::DirWrite;
        if ((e.control & sm::ModeMask) == sm::ModeMailbox) {
            const bool full = (smStatus(n) & sm::StatusMailboxFull) != 0;
            if (masterWrites ? (!write || full) : (write || !full))
                return false;
        } else {
            // Process data buffers are released by the slave from SAFE-OP on.
            if (state != al::SafeOp && state != al::Op)
                return false;
            if (write && !masterWrites)
                return false;
        }
    }
    return true;
}

bool Slave::masterRead(uint16_t address, uint8_t *dst, size_t length, const FrameContext &)
{
    if (!smAllows(address, length, false)) {
        ++stats_.refused;
        return false;
    }
    beforeRead(address, length);
    std::memcpy(dst, mem_.data() + address, length);
    afterRead(address, length);
    ++stats_.reads;
    return true;
}

bool Slave::masterWrite(uint16_t address, const uint8_t *src, size_t length, const FrameContext &)
{
    if (!smAllows(address, length, true)) {
        ++stats_.refused;
        return false;
    }
    mem_.masterWrite(address, src, length);
    afterWrite(address, length, src);
    ++stats_.writes;
    return true;
}

void Slave::beforeRead(uint16_t address, size_t length)
{
    if (overlaps(address, length, reg::DcSystemTime, 8))
        dcRefreshSystemTime();
    const SmEntry &in = sm(3);
    const uint16_t state = alStatus() & al::StateMask;
    if ((in.activate & sm::ActivateEnable) && (state == al::SafeOp || state == al::Op)
        && overlaps(address, length, in.physicalStart, in.length))
        refreshInputs();
}

void Slave::afterRead(uint16_t address, size_t length)
{
    if (overlaps(address, length, reg::AlStatus, 2))
        mem_.setU16(reg::EventRequest, mem_.u16(reg::EventRequest) & ~uint16_t(0x0008));
    if (device_.hasMailbox()) {
        const SmEntry &in = sm(1);
        if ((in.activate & sm::ActivateEnable) && (in.control & sm::ModeMask) == sm::ModeMailbox && in.length > 0
            && covers(address, length, uint32_t(in.physicalStart) + in.length - 1))
            mailboxInRead();
    }
}

// Writes to AL control, SII control and the SyncManagers are noted here and
// take effect at the end of the frame (endFrame).
void Slave::afterWrite(uint16_t address, size_t length, const uint8_t *src)
{
    if (overlaps(address, length, reg::AlControl, 2))
        written_.alControl = true;
    if (overlaps(address, length, reg::SiiControl, 2)) {
        uint8_t value[2] = {mem_.u8(reg::SiiControl), mem_.u8(reg::SiiControl + 1)};
        for (unsigned i = 0; i < 2; ++i)
            if (covers(address, length, reg::SiiControl + i))
                value[i] = src[reg::SiiControl + i - address];
        written_.siiControl = true;
        written_.siiValue = getU16(value);
    }
    if (device_.dc && covers(address, length, reg::DcRecvTimePort0))
        dcLatch();
    if (device_.dc && address <= reg::DcSystemTime && address + length >= reg::DcSystemTime + 4u)
        dcSystemTimeWritten(src + (reg::DcSystemTime - address));
    if (overlaps(address, length, reg::SmBase, SyncManagers * reg::SmStride))
        written_.syncManagers = true;
    if (device_.hasMailbox()) {
        const SmEntry &out = sm(0);
        if ((out.activate & sm::ActivateEnable) && (out.control & sm::ModeMask) == sm::ModeMailbox
            && (out.control & sm::DirMask) == sm::DirWrite && out.length > 0
            && covers(address, length, uint32_t(out.physicalStart) + out.length - 1))
            written_.mailboxOut = true;
    }
    const SmEntry &outputs = sm(2);
    if ((outputs.activate & sm::ActivateEnable) && overlaps(address, length, outputs.physicalStart, outputs.length))
        lastOutputsNs_ = nowNs_;
}

} // namespace ecsim
