#include "ecwire/frame.h"

#include <algorithm>

#include "ecwire/le.h"

namespace ecwire {

const char *commandName(uint8_t command)
{
    static const char *const names[CommandCount] = {
        "NOP", "APRD", "APWR", "APRW", "FPRD", "FPWR", "FPRW", "BRD",
        "BWR", "BRW", "LRD", "LWR", "LRW", "ARMW", "FRMW",
    };
    return command < CommandCount ? names[command] : "unknown";
}

const char *parseErrorText(ParseError e)
{
    switch (e) {
    case ParseError::None: return "no error";
    case ParseError::FrameTooShort: return "frame shorter than the Ethernet and EtherCAT headers";
    case ParseError::FrameTooLong: return "frame longer than 1514 bytes";
    case ParseError::NotEtherCat: return "EtherType is not 0x88A4";
    case ParseError::WrongType: return "EtherCAT header type is not 1 (datagrams)";
    case ParseError::LengthBeyondFrame: return "EtherCAT header length runs past the frame";
    case ParseError::NoDatagrams: return "EtherCAT header declares no datagrams";
    case ParseError::HeaderTruncated: return "datagram header cut off by the declared length";
    case ParseError::DataTruncated: return "datagram data or working counter cut off by the declared length";
    case ParseError::MoreFlagOverrun: return "'more datagrams' flag set on the last datagram";
    case ParseError::LengthMismatch: return "datagrams end before the declared length";
    }
    return "unknown parse error";
}

ParseError parseFrame(const uint8_t *frame, size_t len, ParsedFrame &out)
{
    out.ecatLength = 0;
    out.datagrams.clear();
    if (frame == nullptr || len < ecat::FirstDatagram)
        return ParseError::FrameTooShort;
    if (len > eth::MaxFrameSize)
        return ParseError::FrameTooLong;
    if (getU16Be(frame + eth::EtherType) != EtherTypeEcat)
        return ParseError::NotEtherCat;
    const uint16_t header = getU16(frame + ecat::Offset);
    if ((header >> ecat::TypeShift) != ecat::TypeDatagrams)
        return ParseError::WrongType;
    const size_t declared = header & ecat::LengthMask;
    if (declared > len - ecat::FirstDatagram)
        return ParseError::LengthBeyondFrame;
    if (declared == 0)
        return ParseError::NoDatagrams;
    out.ecatLength = declared;

    const size_t end = ecat::FirstDatagram + declared;
    size_t pos = ecat::FirstDatagram;
    for (;;) {
        if (end - pos < dgram::HeaderSize)
            return ParseError::HeaderTruncated;
        const uint8_t *d = frame + pos;
        DatagramView v;
        v.offset = pos;
        v.command = getU8(d + dgram::Command);
        v.index = getU8(d + dgram::Index);
        v.adp = getU16(d + dgram::Adp);
        v.ado = getU16(d + dgram::Ado);
        v.logical = getU32(d + dgram::Address);
        const uint16_t lenFlags = getU16(d + dgram::LenFlags);
        v.length = lenFlags & dgram::LengthMask;
        v.circulating = (lenFlags & dgram::Circulating) != 0;
        v.more = (lenFlags & dgram::More) != 0;
        v.irq = getU16(d + dgram::Irq);
        v.dataOffset = pos + dgram::HeaderSize;
        if (end - v.dataOffset < size_t(v.length) + dgram::WkcSize)
            return ParseError::DataTruncated;
        v.wkcOffset = v.dataOffset + v.length;
        v.wkc = getU16(frame + v.wkcOffset);
        out.datagrams.push_back(v);
        pos = v.wkcOffset + dgram::WkcSize;
        if (!v.more)
            return pos == end ? ParseError::None : ParseError::LengthMismatch;
        if (pos == end)
            return ParseError::MoreFlagOverrun;
    }
}

FrameBuilder::FrameBuilder()
{
    const uint8_t bcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    // Unicast with bit 1 of the first byte clear, so the returned frame (bit 1
    // set by the slaves) differs from the outgoing one.
    const uint8_t local[6] = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01};
    *this = FrameBuilder(bcast, local);
}

FrameBuilder::FrameBuilder(const uint8_t destination[6], const uint8_t source[6])
{
    buf_.assign(ecat::FirstDatagram, 0);
    std::copy(destination, destination + eth::MacSize, buf_.begin() + eth::Destination);
    std::copy(source, source + eth::MacSize, buf_.begin() + eth::Source);
    putU16Be(buf_.data() + eth::EtherType, EtherTypeEcat);
    writeHeaderLength();
}

void FrameBuilder::clear()
{
    buf_.resize(ecat::FirstDatagram);
    end_ = ecat::FirstDatagram;
    lastOffset_ = 0;
    count_ = 0;
    writeHeaderLength();
}

size_t FrameBuilder::roomForData() const
{
    const size_t used = end_ + dgram::Overhead;
    return used >= eth::MaxFrameSize ? 0 : std::min(eth::MaxFrameSize - used, size_t(dgram::LengthMask));
}

bool FrameBuilder::add(Command command, uint8_t index, uint32_t address, const uint8_t *data,
                       uint16_t length, uint16_t irq)
{
    if (length > dgram::LengthMask || end_ + dgram::Overhead + length > eth::MaxFrameSize)
        return false;
    buf_.resize(end_); // drop padding from an earlier finish()
    if (count_ > 0) {
        uint8_t *prev = buf_.data() + lastOffset_ + dgram::LenFlags;
        putU16(prev, getU16(prev) | dgram::More);
    }
    const size_t at = end_;
    buf_.resize(at + dgram::Overhead + length, 0);
    uint8_t *d = buf_.data() + at;
    putU8(d + dgram::Command, static_cast<uint8_t>(command));
    putU8(d + dgram::Index, index);
    putU32(d + dgram::Address, address);
    putU16(d + dgram::LenFlags, length);
    putU16(d + dgram::Irq, irq);
    if (data != nullptr && length > 0)
        std::copy(data, data + length, d + dgram::HeaderSize);
    lastOffset_ = at;
    end_ = at + dgram::Overhead + length;
    ++count_;
    writeHeaderLength();
    return true;
}

void FrameBuilder::writeHeaderLength()
{
    const size_t declared = end_ - ecat::FirstDatagram;
    putU16(buf_.data() + ecat::Offset,
           static_cast<uint16_t>((declared & ecat::LengthMask) | (ecat::TypeDatagrams << ecat::TypeShift)));
}

const std::vector<uint8_t> &FrameBuilder::finish()
{
    buf_.resize(std::max(end_, eth::MinFrameSize), 0);
    return buf_;
}

} // namespace ecwire
