// Mailbox header, CoE header and SDO upload messages. Encoders return whole
// mailbox messages (header included); decoders check every length against
// the bytes at hand and say what was wrong.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ecwire {
namespace mbx {
constexpr size_t Length = 0;          constexpr size_t LengthSize = 2;
constexpr size_t Address = 2;         constexpr size_t AddressSize = 2;
constexpr size_t ChannelPriority = 4; constexpr size_t ChannelPrioritySize = 1;
constexpr size_t TypeCounter = 5;     constexpr size_t TypeCounterSize = 1;
constexpr size_t HeaderSize = 6;
static_assert(TypeCounter + TypeCounterSize == HeaderSize, "mailbox header is 6 bytes");
constexpr uint8_t ChannelMask = 0x3F;
constexpr unsigned PriorityShift = 6;
constexpr uint8_t TypeMask = 0x0F;
constexpr unsigned CounterShift = 4;
constexpr uint8_t CounterMask = 0x07;

constexpr uint8_t TypeError = 0, TypeAoE = 1, TypeEoE = 2, TypeCoE = 3, TypeFoE = 4, TypeSoE = 5,
                  TypeVoE = 15;

// Mailbox error reply: service (2) = 1, detail (2)
constexpr size_t ErrorService = 0, ErrorDetail = 2, ErrorSize = 4;
constexpr uint16_t ErrorServiceCode = 0x0001;
constexpr uint16_t ErrSyntax = 0x0001, ErrUnsupportedProtocol = 0x0002, ErrInvalidChannel = 0x0003,
                   ErrServiceNotSupported = 0x0004, ErrInvalidHeader = 0x0005, ErrSizeTooShort = 0x0006,
                   ErrNoMemory = 0x0007, ErrInvalidSize = 0x0008;

// Next counter value after `c` (1..7, wrapping, 0 is only the start value).
inline uint8_t nextCounter(uint8_t c) { return static_cast<uint8_t>(c >= 7 ? 1 : c + 1); }

// What a mailbox error reply's detail means (ETG.1000.4), "unknown mailbox error" else.
const char *errorText(uint16_t detail);
} // namespace mbx

namespace coe {
constexpr size_t Header = mbx::HeaderSize; // CoE header offset in a mailbox message
constexpr size_t HeaderSize = 2;
constexpr uint16_t NumberMask = 0x01FF;
constexpr unsigned ServiceShift = 12;
constexpr uint8_t ServiceEmergency = 1, ServiceSdoRequest = 2, ServiceSdoResponse = 3, ServiceSdoInfo = 8;

// SDO part after the CoE header: command (1), index (2), subindex (1), data (4)
constexpr size_t Sdo = Header + HeaderSize;
constexpr size_t SdoCommand = 0, SdoIndex = 1, SdoSubindex = 3, SdoData = 4;
constexpr size_t SdoHeaderSize = 8;
constexpr size_t SdoMinMessage = Sdo + SdoHeaderSize;       // 16 bytes
constexpr size_t SdoMinMailboxLength = HeaderSize + SdoHeaderSize; // 10, the mailbox length field
// Segment: command (1), data (7 or more; a short last one may come unpadded)
constexpr size_t SegmentData = 1;
constexpr size_t SegmentMinData = 7;

// Command bytes
constexpr uint8_t CmdUploadRequest = 0x40;
constexpr uint8_t CmdUploadRequestComplete = 0x50; // complete access
constexpr uint8_t CompleteAccessBit = 0x10;
constexpr uint8_t CmdUploadExpedited1 = 0x4F, CmdUploadExpedited2 = 0x4B, CmdUploadExpedited3 = 0x47,
                  CmdUploadExpedited4 = 0x43;
constexpr uint8_t CmdUploadNormal = 0x41;
constexpr uint8_t SizeIndicatedBit = 0x01;     // upload response: the size is given
constexpr uint8_t ExpeditedBit = 0x02;         // upload response: data in the 4 bytes
constexpr uint8_t CmdSegmentRequest = 0x60;    // | ToggleBit on every second request
constexpr uint8_t ToggleBit = 0x10;
constexpr uint8_t SegmentLastBit = 0x01;       // segment response: no more segments
constexpr unsigned SegmentUnusedShift = 1;     // segment response: unused bytes of 7 (bits 1-3)
constexpr uint8_t SegmentUnusedMask = 0x0E;
constexpr uint8_t CmdAbort = 0x80;
constexpr uint8_t CcsMask = 0xE0;              // client/server command specifier
constexpr uint8_t CcsDownload = 0x20, CcsUpload = 0x40, CcsUploadSegment = 0x60, CcsDownloadSegment = 0x00;

// Emergency after the CoE header: error code (2), error register (1) and
// five bytes of the manufacturer's (ETG.1000.6 CoE emergency).
constexpr size_t Emergency = Header + HeaderSize;
constexpr size_t EmergencyErrorCode = 0, EmergencyRegister = 2, EmergencyData = 3;
constexpr size_t EmergencyDataSize = 5;
constexpr size_t EmergencySize = 8;
static_assert(EmergencyData + EmergencyDataSize == EmergencySize, "emergency is 8 bytes");

// Complete access: the object's subindexes back to back, sub 0 (the count)
// padded to 16 bits when the transfer starts at subindex 0.
constexpr size_t CompleteAccessSub0Size = 2;

// Abort codes
constexpr uint32_t AbortToggle = 0x05030000;
constexpr uint32_t AbortUnknownCommand = 0x05040001;
constexpr uint32_t AbortUnsupportedAccess = 0x06010000;
constexpr uint32_t AbortReadOnly = 0x06010002;
constexpr uint32_t AbortNoObject = 0x06020000;
constexpr uint32_t AbortNoSubindex = 0x06090011;
constexpr uint32_t AbortGeneral = 0x08000000;
// What an SDO abort code means (ETG.1000.6 SDO abort codes), "unknown abort code" else.
const char *abortCodeText(uint32_t code);

// ETG.1000.6 object dictionary: 0x1C00 gives the communication type of each
// SyncManager (sub n for SyncManager n-1, the SII's type numbers), and the
// PDO assignment of SyncManager n is object 0x1C10 + n: 0x1C12 for the usual
// outputs on SyncManager 2, 0x1C13 for the inputs on 3.
constexpr uint16_t SmTypes = 0x1C00;
constexpr uint16_t PdoAssignBase = 0x1C10;
constexpr uint16_t RxPdoAssign = PdoAssignBase + 2;
constexpr uint16_t TxPdoAssign = PdoAssignBase + 3;
} // namespace coe

struct MailboxHeader {
    uint16_t length = 0; // bytes after the header
    uint16_t address = 0;
    uint8_t channel = 0;
    uint8_t priority = 0;
    uint8_t type = 0;
    uint8_t counter = 0;
};
void encodeMailboxHeader(uint8_t *p, const MailboxHeader &h);
// Needs len >= 6 and the declared length within len - 6.
bool decodeMailboxHeader(const uint8_t *p, size_t len, MailboxHeader &h, std::string *error = nullptr);

// ---- master side ----
// SDO upload request (16 bytes), normal or complete access (then subindex 0 or 1).
std::vector<uint8_t> encodeSdoUploadRequest(uint16_t index, uint8_t subindex, bool completeAccess,
                                            uint8_t counter, uint16_t address = 0);
// Upload segment request; toggle alternates starting with false.
std::vector<uint8_t> encodeSdoSegmentRequest(bool toggle, uint8_t counter, uint16_t address = 0);

struct SdoReply {
    enum Kind { Expedited, Normal, Segment, Abort, MailboxError };
    Kind kind = Abort;
    uint8_t counter = 0;
    uint16_t index = 0;        // expedited, normal, abort
    uint8_t subindex = 0;
    uint32_t completeSize = 0; // normal: size of the whole object; not indicated: the bytes of this reply
    bool sizeIndicated = true; // normal: false when the reply leaves the size out (segments follow)
    std::vector<uint8_t> data; // expedited/normal/segment payload in this message
    bool toggle = false;       // segment
    bool last = false;         // segment: no more segments; expedited/normal: data complete
    uint32_t abortCode = 0;
    uint16_t mailboxError = 0; // mailbox error detail
    // What the message is, filled as far as it could be read, also when it
    // is no reply: its mailbox type (-1 when the header is unreadable) and,
    // for CoE, its service (-1 without a whole CoE header).
    int mailboxType = -1;
    int coeService = -1;
};
// Decodes a reply read from the mailbox-in area (may be longer than the message).
bool decodeSdoReply(const uint8_t *p, size_t len, SdoReply &out, std::string *error = nullptr);

struct Emergency {
    uint16_t errorCode = 0;
    uint8_t errorRegister = 0;
    uint8_t data[coe::EmergencyDataSize] = {};
};
// Decodes a CoE emergency message; false for any other message or one too short.
bool decodeEmergency(const uint8_t *p, size_t len, Emergency &out);

// ---- slave side ----
struct SdoRequest {
    enum Kind { Upload, UploadSegment, Download, Other };
    Kind kind = Other;
    uint8_t counter = 0;
    uint8_t command = 0;
    bool completeAccess = false;
    bool toggle = false;
    uint16_t index = 0;
    uint8_t subindex = 0;
};
// Fails (with the mailbox error detail in *mailboxError) for a message that is
// not a well-formed CoE SDO request.
bool decodeSdoRequest(const uint8_t *p, size_t len, SdoRequest &out, uint16_t *mailboxError,
                      std::string *error = nullptr);

std::vector<uint8_t> encodeSdoExpeditedResponse(uint16_t index, uint8_t subindex, const uint8_t *data,
                                                size_t size, uint8_t counter, bool completeAccess = false);
// Normal upload response carrying `part` (all or the first part) of an object of completeSize bytes.
std::vector<uint8_t> encodeSdoNormalResponse(uint16_t index, uint8_t subindex, uint32_t completeSize,
                                             const uint8_t *part, size_t partSize, uint8_t counter,
                                             bool completeAccess = false);
std::vector<uint8_t> encodeSdoSegmentResponse(bool toggle, bool last, const uint8_t *data, size_t size,
                                              uint8_t counter);
std::vector<uint8_t> encodeSdoAbort(uint16_t index, uint8_t subindex, uint32_t code, uint8_t counter);
std::vector<uint8_t> encodeMailboxError(uint16_t detail, uint8_t counter);

// Largest SDO payload that fits a mailbox of `mailboxSize` bytes in a normal response / a segment.
size_t sdoNormalCapacity(size_t mailboxSize);
size_t sdoSegmentCapacity(size_t mailboxSize);

} // namespace ecwire
