// Ethernet II frames carrying EtherCAT datagrams: layout constants, a parser
// that checks every length against the bytes at hand and returns views into
// the caller's buffer, and a builder for outgoing frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ecwire {

constexpr uint16_t EtherTypeEcat = 0x88A4;

// Ethernet II header
namespace eth {
constexpr size_t Destination = 0; constexpr size_t MacSize = 6;
constexpr size_t Source = 6;
constexpr size_t EtherType = 12;  constexpr size_t EtherTypeSize = 2;
constexpr size_t HeaderSize = 14;
static_assert(EtherType + EtherTypeSize == HeaderSize, "Ethernet II header is 14 bytes");
constexpr size_t MinFrameSize = 60;   // without FCS; shorter frames are padded
constexpr size_t MaxFrameSize = 1514; // without FCS
// Bit a slave sets in the first source MAC byte of the frame it sends back.
constexpr uint8_t SourceReturnedBit = 0x02;
} // namespace eth

// EtherCAT header (2 bytes after the EtherType)
namespace ecat {
constexpr size_t Offset = eth::HeaderSize;
constexpr size_t HeaderSize = 2;
constexpr uint16_t LengthMask = 0x07FF;
constexpr uint16_t ReservedBit = 0x0800;
constexpr unsigned TypeShift = 12;
constexpr uint16_t TypeDatagrams = 1;
constexpr size_t FirstDatagram = Offset + HeaderSize; // 16
} // namespace ecat

// Datagram layout, offsets relative to the datagram start
namespace dgram {
constexpr size_t Command = 0;   constexpr size_t CommandSize = 1;
constexpr size_t Index = 1;     constexpr size_t IndexSize = 1;
constexpr size_t Address = 2;   constexpr size_t AddressSize = 4;
constexpr size_t Adp = 2;       constexpr size_t AdpSize = 2;
constexpr size_t Ado = 4;       constexpr size_t AdoSize = 2;
constexpr size_t LenFlags = 6;  constexpr size_t LenFlagsSize = 2;
constexpr size_t Irq = 8;       constexpr size_t IrqSize = 2;
constexpr size_t HeaderSize = 10;
constexpr size_t WkcSize = 2;
constexpr size_t Overhead = HeaderSize + WkcSize;
static_assert(Irq + IrqSize == HeaderSize, "datagram header is 10 bytes");
static_assert(Adp + AdpSize == Ado && Ado + AdoSize == LenFlags, "address fields");
constexpr uint16_t LengthMask = 0x07FF;
constexpr uint16_t ReservedMask = 0x3800;
constexpr uint16_t Circulating = 0x4000;
constexpr uint16_t More = 0x8000;
// Largest data of one datagram in a maximum-size frame.
constexpr size_t MaxData = eth::MaxFrameSize - ecat::FirstDatagram - Overhead; // 1486
} // namespace dgram

enum class Command : uint8_t {
    NOP = 0, APRD = 1, APWR = 2, APRW = 3, FPRD = 4, FPWR = 5, FPRW = 6,
    BRD = 7, BWR = 8, BRW = 9, LRD = 10, LWR = 11, LRW = 12, ARMW = 13, FRMW = 14,
};
constexpr uint8_t CommandCount = 15;
const char *commandName(uint8_t command); // "APRD", ...; "unknown" otherwise

// 32-bit address field from position/configured ADP and ADO.
constexpr uint32_t makeAddress(uint16_t adp, uint16_t ado)
{
    return static_cast<uint32_t>(adp) | (static_cast<uint32_t>(ado) << 16);
}

// One datagram inside a frame buffer. Offsets are from the start of the frame,
// so the caller can edit data, WKC and ADP in place.
struct DatagramView {
    size_t offset = 0;     // start of the datagram header
    uint8_t command = 0;
    uint8_t index = 0;
    uint16_t adp = 0;
    uint16_t ado = 0;
    uint32_t logical = 0;  // the whole 4-byte address field
    uint16_t length = 0;   // data bytes
    bool circulating = false;
    bool more = false;
    uint16_t irq = 0;
    size_t dataOffset = 0;
    size_t wkcOffset = 0;
    uint16_t wkc = 0;
};

enum class ParseError {
    None,
    FrameTooShort,        // fewer than 14 + 2 bytes
    FrameTooLong,         // more than 1514 bytes
    NotEtherCat,          // EtherType is not 0x88A4
    WrongType,            // EtherCAT header type is not 1
    LengthBeyondFrame,    // header length runs past the frame
    NoDatagrams,          // header length 0
    HeaderTruncated,      // a datagram header does not fit the declared length
    DataTruncated,        // datagram data + WKC run past the declared length
    MoreFlagOverrun,      // 'more' set on the datagram that ends the declared length
    LengthMismatch,       // last datagram ends before the declared length
};
const char *parseErrorText(ParseError e);

struct ParsedFrame {
    size_t ecatLength = 0; // bytes of datagrams declared by the EtherCAT header
    std::vector<DatagramView> datagrams;
};

// Parses frame[0..len). On error `out` is left with what was parsed so far.
ParseError parseFrame(const uint8_t *frame, size_t len, ParsedFrame &out);

// Builds one outgoing frame. Datagrams are appended in order; the previous
// datagram's 'more' flag and the EtherCAT header length are kept right after
// every append.
class FrameBuilder {
public:
    // Destination defaults to broadcast, source to 00:00:00:00:00:01 (bit 1 of
    // the first byte clear: returned frames have it set). A source given here
    // should have that bit clear too.
    FrameBuilder();
    FrameBuilder(const uint8_t destination[6], const uint8_t source[6]);

    void clear(); // drops the datagrams, keeps the MAC addresses

    // Appends a datagram; data may be null for a zero-filled one. Returns false
    // (and changes nothing) when it would not fit into one frame.
    bool add(Command command, uint8_t index, uint32_t address, const uint8_t *data,
             uint16_t length, uint16_t irq = 0);
    // Offset from the frame start of the last appended datagram.
    size_t lastDatagramOffset() const { return lastOffset_; }
    size_t lastDataOffset() const { return lastOffset_ + dgram::HeaderSize; }
    // Largest data length another datagram could still have.
    size_t roomForData() const;
    size_t datagramCount() const { return count_; }

    // Pads to 60 bytes and returns the frame (without FCS).
    const std::vector<uint8_t> &finish();
    const std::vector<uint8_t> &bytes() const { return buf_; }

private:
    void writeHeaderLength();
    std::vector<uint8_t> buf_;
    size_t end_ = ecat::FirstDatagram; // end of datagram bytes (before padding)
    size_t lastOffset_ = 0;
    size_t count_ = 0;
};

} // namespace ecwire
