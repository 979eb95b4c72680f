#include "ecwire/mailbox.h"

#include <algorithm>

#include "ecwire/le.h"

namespace ecwire {

namespace {

void setError(std::string *error, std::string text)
{
    if (error != nullptr)
        *error = std::move(text);
}

// A mailbox message with header and CoE header filled in, `body` bytes after the CoE header.
std::vector<uint8_t> coeMessage(uint8_t service, size_t body, uint8_t counter, uint16_t address = 0)
{
    std::vector<uint8_t> m(mbx::HeaderSize + coe::HeaderSize + body, 0);
    MailboxHeader h;
    h.length = static_cast<uint16_t>(coe::HeaderSize + body);
    h.address = address;
    h.type = mbx::TypeCoE;
    h.counter = counter;
    encodeMailboxHeader(m.data(), h);
    putU16(m.data() + coe::Header, static_cast<uint16_t>(service << coe::ServiceShift));
    return m;
}

void putSdoHeader(std::vector<uint8_t> &m, uint8_t command, uint16_t index, uint8_t subindex)
{
    uint8_t *s = m.data() + coe::Sdo;
    putU8(s + coe::SdoCommand, command);
    putU16(s + coe::SdoIndex, index);
    putU8(s + coe::SdoSubindex, subindex);
}

} // namespace

void encodeMailboxHeader(uint8_t *p, const MailboxHeader &h)
{
    putU16(p + mbx::Length, h.length);
    putU16(p + mbx::Address, h.address);
    putU8(p + mbx::ChannelPriority,
          static_cast<uint8_t>((h.channel & mbx::ChannelMask) | (h.priority << mbx::PriorityShift)));
    putU8(p + mbx::TypeCounter,
          static_cast<uint8_t>((h.type & mbx::TypeMask) | ((h.counter & mbx::CounterMask) << mbx::CounterShift)));
}

bool decodeMailboxHeader(const uint8_t *p, size_t len, MailboxHeader &h, std::string *error)
{
    if (p == nullptr || len < mbx::HeaderSize) {
        setError(error, "mailbox message of " + std::to_string(len) + " bytes, the header needs 6");
        return false;
    }
    h.length = getU16(p + mbx::Length);
    h.address = getU16(p + mbx::Address);
    const uint8_t cp = getU8(p + mbx::ChannelPriority);
    h.channel = cp & mbx::ChannelMask;
    h.priority = static_cast<uint8_t>(cp >> mbx::PriorityShift);
    const uint8_t tc = getU8(p + mbx::TypeCounter);
    h.type = tc & mbx::TypeMask;
    h.counter = (tc >> mbx::CounterShift) & mbx::CounterMask;
    if (h.length > len - mbx::HeaderSize) {
        setError(error, "mailbox header declares " + std::to_string(h.length) + " bytes, "
                            + std::to_string(len - mbx::HeaderSize) + " present");
        return false;
    }
    return true;
}

std::vector<uint8_t> encodeSdoUploadRequest(uint16_t index, uint8_t subindex, bool completeAccess,
                                            uint8_t counter, uint16_t address)
{
    std::vector<uint8_t> m = coeMessage(coe::ServiceSdoRequest, coe::SdoHeaderSize, counter, address);
    putSdoHeader(m, completeAccess ? coe::CmdUploadRequestComplete : coe::CmdUploadRequest, index, subindex);
    return m;
}

std::vector<uint8_t> encodeSdoSegmentRequest(bool toggle, uint8_t counter, uint16_t address)
{
    std::vector<uint8_t> m = coeMessage(coe::ServiceSdoRequest, coe::SdoHeaderSize, counter, address);
    m[coe::Sdo + coe::SdoCommand] = static_cast<uint8_t>(coe::CmdSegmentRequest | (toggle ? coe::ToggleBit : 0));
    return m;
}

bool decodeSdoReply(const uint8_t *p, size_t len, SdoReply &out, std::string *error)
{
    out = SdoReply();
    MailboxHeader h;
    if (!decodeMailboxHeader(p, len, h, error))
        return false;
    out.counter = h.counter;
    out.mailboxType = h.type;
    const uint8_t *body = p + mbx::HeaderSize;
    if (h.type == mbx::TypeCoE && h.length >= coe::HeaderSize)
        out.coeService = getU16(body) >> coe::ServiceShift;
    if (h.type == mbx::TypeError) {
        if (h.length < mbx::ErrorSize) {
            setError(error, "mailbox error reply of " + std::to_string(h.length) + " bytes, needs 4");
            return false;
        }
        out.kind = SdoReply::MailboxError;
        out.mailboxError = getU16(body + mbx::ErrorDetail);
        return true;
    }
    if (h.type != mbx::TypeCoE) {
        setError(error, "mailbox reply of type " + std::to_string(h.type) + ", expected CoE (3)");
        return false;
    }
    if (h.length < coe::HeaderSize + 1) {
        setError(error, "CoE reply of " + std::to_string(h.length) + " bytes is too short");
        return false;
    }
    const int service = out.coeService;
    if (service != coe::ServiceSdoResponse && service != coe::ServiceSdoRequest) {
        setError(error, "CoE reply with service " + std::to_string(service) + ", expected an SDO response (3)");
        return false;
    }
    const uint8_t *s = body + coe::HeaderSize;
    const size_t sdoLen = h.length - coe::HeaderSize;
    const uint8_t cmd = s[coe::SdoCommand];

    if ((cmd & coe::CcsMask) == 0x00) { // upload segment response
        // ETG.1000.6 upload segment: at least 7 data bytes, bits 1-3 saying
        // how many of those 7 are unused. Some devices leave the padding of
        // a short (last) segment out: then the mailbox length tells, and the
        // smaller of the two counts holds.
        size_t n = sdoLen - coe::SegmentData;
        if (n <= coe::SegmentMinData)
            n = std::min<size_t>(n, coe::SegmentMinData - ((cmd & coe::SegmentUnusedMask) >> coe::SegmentUnusedShift));
        out.kind = SdoReply::Segment;
        out.toggle = (cmd & coe::ToggleBit) != 0;
        out.last = (cmd & coe::SegmentLastBit) != 0;
        out.data.assign(s + coe::SegmentData, s + coe::SegmentData + n);
        return true;
    }
    if (sdoLen < coe::SdoHeaderSize) {
        setError(error, "SDO reply of " + std::to_string(sdoLen) + " bytes, needs at least 8");
        return false;
    }
    out.index = getU16(s + coe::SdoIndex);
    out.subindex = s[coe::SdoSubindex];
    if (cmd == coe::CmdAbort) {
        out.kind = SdoReply::Abort;
        out.abortCode = getU32(s + coe::SdoData);
        return true;
    }
    if ((cmd & coe::CcsMask) != coe::CcsUpload) {
        setError(error, "SDO reply command " + std::to_string(cmd) + " is not an upload response");
        return false;
    }
    const bool expedited = (cmd & coe::ExpeditedBit) != 0;
    const bool sizeIndicated = (cmd & coe::SizeIndicatedBit) != 0;
    out.sizeIndicated = sizeIndicated;
    if (expedited) {
        const size_t n = sizeIndicated ? 4 - ((cmd >> 2) & 0x03) : 4;
        out.kind = SdoReply::Expedited;
        out.completeSize = static_cast<uint32_t>(n);
        out.data.assign(s + coe::SdoData, s + coe::SdoData + n);
        out.last = true;
        return true;
    }
    out.kind = SdoReply::Normal;
    const size_t avail = sdoLen - coe::SdoHeaderSize;
    if (!sizeIndicated) {
        // The size field is reserved: what follows the header is data, and
        // upload segments follow until one says it is the last. The size
        // known is what this reply carries.
        out.data.assign(s + coe::SdoHeaderSize, s + coe::SdoHeaderSize + avail);
        out.completeSize = static_cast<uint32_t>(avail);
        return true;
    }
    out.completeSize = getU32(s + coe::SdoData);
    const size_t n = std::min<size_t>(avail, out.completeSize);
    out.data.assign(s + coe::SdoHeaderSize, s + coe::SdoHeaderSize + n);
    out.last = n == out.completeSize;
    return true;
}

bool decodeSdoRequest(const uint8_t *p, size_t len, SdoRequest &out, uint16_t *mailboxError, std::string *error)
{
    out = SdoRequest();
    uint16_t dummy = 0;
    uint16_t &merr = mailboxError != nullptr ? *mailboxError : dummy;
    MailboxHeader h;
    if (!decodeMailboxHeader(p, len, h, error)) {
        merr = len < mbx::HeaderSize ? mbx::ErrSizeTooShort : mbx::ErrInvalidSize;
        return false;
    }
    out.counter = h.counter;
    if (h.type != mbx::TypeCoE) {
        merr = mbx::ErrUnsupportedProtocol;
        setError(error, "mailbox type " + std::to_string(h.type) + " is not supported");
        return false;
    }
    if (h.length < coe::HeaderSize + 1) {
        merr = mbx::ErrSizeTooShort;
        setError(error, "CoE message of " + std::to_string(h.length) + " bytes is too short");
        return false;
    }
    const uint8_t *body = p + mbx::HeaderSize;
    const uint8_t service = static_cast<uint8_t>(getU16(body) >> coe::ServiceShift);
    if (service != coe::ServiceSdoRequest) {
        merr = mbx::ErrServiceNotSupported;
        setError(error, "CoE service " + std::to_string(service) + " is not supported");
        return false;
    }
    const uint8_t *s = body + coe::HeaderSize;
    const size_t sdoLen = h.length - coe::HeaderSize;
    out.command = s[coe::SdoCommand];
    out.completeAccess = (out.command & coe::CompleteAccessBit) != 0;
    out.toggle = (out.command & coe::ToggleBit) != 0;
    const uint8_t ccs = out.command & coe::CcsMask;
    if (ccs == coe::CcsUploadSegment) {
        out.kind = SdoRequest::UploadSegment;
        return true;
    }
    if (sdoLen < coe::SdoHeaderSize) {
        merr = mbx::ErrSizeTooShort;
        setError(error, "SDO request of " + std::to_string(sdoLen) + " bytes, needs 8");
        return false;
    }
    out.index = getU16(s + coe::SdoIndex);
    out.subindex = s[coe::SdoSubindex];
    if (ccs == coe::CcsUpload)
        out.kind = SdoRequest::Upload;
    else if (ccs == coe::CcsDownload)
        out.kind = SdoRequest::Download;
    else
        out.kind = SdoRequest::Other;
    return true;
}

std::vector<uint8_t> encodeSdoExpeditedResponse(uint16_t index, uint8_t subindex, const uint8_t *data,
                                                size_t size, uint8_t counter, bool /*completeAccess*/)
{
    size = std::min<size_t>(size, 4);
    std::vector<uint8_t> m = coeMessage(coe::ServiceSdoResponse, coe::SdoHeaderSize, counter);
    const uint8_t cmd = static_cast<uint8_t>(0x43 | ((4 - size) << 2));
    putSdoHeader(m, cmd, index, subindex);
    if (data != nullptr && size > 0)
        std::copy(data, data + size, m.begin() + coe::Sdo + coe::SdoData);
    return m;
}

std::vector<uint8_t> encodeSdoNormalResponse(uint16_t index, uint8_t subindex, uint32_t completeSize,
                                             const uint8_t *part, size_t partSize, uint8_t counter,
                                             bool /*completeAccess*/)
{
    std::vector<uint8_t> m = coeMessage(coe::ServiceSdoResponse, coe::SdoHeaderSize + partSize, counter);
    putSdoHeader(m, coe::CmdUploadNormal, index, subindex);
    putU32(m.data() + coe::Sdo + coe::SdoData, completeSize);
    if (part != nullptr && partSize > 0)
        std::copy(part, part + partSize, m.begin() + coe::Sdo + coe::SdoHeaderSize);
    return m;
}

std::vector<uint8_t> encodeSdoSegmentResponse(bool toggle, bool last, const uint8_t *data, size_t size,
                                              uint8_t counter)
{
    const size_t padded = std::max(size, coe::SegmentMinData);
    std::vector<uint8_t> m = coeMessage(coe::ServiceSdoResponse, coe::SegmentData + padded, counter);
    const size_t unused = padded - size;
    m[coe::Sdo + coe::SdoCommand] = static_cast<uint8_t>((toggle ? coe::ToggleBit : 0)
                                                         | (unused << coe::SegmentUnusedShift)
                                                         | (last ? coe::SegmentLastBit : 0));
    if (data != nullptr && size > 0)
        std::copy(data, data + size, m.begin() + coe::Sdo + coe::SegmentData);
    return m;
}

std::vector<uint8_t> encodeSdoAbort(uint16_t index, uint8_t subindex, uint32_t code, uint8_t counter)
{
    std::vector<uint8_t> m = coeMessage(coe::ServiceSdoRequest, coe::SdoHeaderSize, counter);
    putSdoHeader(m, coe::CmdAbort, index, subindex);
    putU32(m.data() + coe::Sdo + coe::SdoData, code);
    return m;
}

std::vector<uint8_t> encodeMailboxError(uint16_t detail, uint8_t counter)
{
    std::vector<uint8_t> m(mbx::HeaderSize + mbx::ErrorSize, 0);
    MailboxHeader h;
    h.length = mbx::ErrorSize;
    h.type = mbx::TypeError;
    h.counter = counter;
    encodeMailboxHeader(m.data(), h);
    putU16(m.data() + mbx::HeaderSize + mbx::ErrorService, mbx::ErrorServiceCode);
    putU16(m.data() + mbx::HeaderSize + mbx::ErrorDetail, detail);
    return m;
}

size_t sdoNormalCapacity(size_t mailboxSize)
{
    const size_t overhead = coe::Sdo + coe::SdoHeaderSize;
    return mailboxSize > overhead ? mailboxSize - overhead : 0;
}

size_t sdoSegmentCapacity(size_t mailboxSize)
{
    const size_t overhead = coe::Sdo + coe::SegmentData;
    return mailboxSize > overhead ? mailboxSize - overhead : 0;
}

bool decodeEmergency(const uint8_t *p, size_t len, Emergency &out)
{
    MailboxHeader h;
    if (!decodeMailboxHeader(p, len, h) || h.type != mbx::TypeCoE
        || h.length < coe::HeaderSize + coe::EmergencySize
        || (getU16(p + coe::Header) >> coe::ServiceShift) != coe::ServiceEmergency)
        return false;
    const uint8_t *e = p + coe::Emergency;
    out.errorCode = getU16(e + coe::EmergencyErrorCode);
    out.errorRegister = getU8(e + coe::EmergencyRegister);
    std::copy(e + coe::EmergencyData, e + coe::EmergencyData + coe::EmergencyDataSize, out.data);
    return true;
}

} // namespace ecwire
