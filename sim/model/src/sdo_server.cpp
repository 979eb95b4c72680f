// The CoE SDO server: uploads of the object dictionary, normal, expedited or
// segmented as the device answers them, complete access as the device
// supports it, downloads refused.
#include <algorithm>

#include "ecwire/mailbox.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

std::vector<uint8_t> Slave::sdoReply(const uint8_t *request, size_t length)
{
    SdoRequest r;
    uint16_t mailboxError = 0;
    const bool ok = decodeSdoRequest(request, length, r, &mailboxError);
    mbxCounter_ = mbx::nextCounter(mbxCounter_);
    if (!device_.coe || !od_)
        return encodeMailboxError(mbx::ErrUnsupportedProtocol, mbxCounter_);
    if (!ok)
        return encodeMailboxError(mailboxError, mbxCounter_);
    switch (r.kind) {
    case SdoRequest::Upload:
        return sdoUpload(r.index, r.subindex, r.completeAccess, mbxCounter_);
    case SdoRequest::UploadSegment:
        return sdoSegment(r.toggle, mbxCounter_);
    case SdoRequest::Download:
        upload_.active = false;
        return encodeSdoAbort(r.index, r.subindex, od_->find(r.index) ? coe::AbortReadOnly : coe::AbortNoObject,
                              mbxCounter_);
    case SdoRequest::Other:
        break;
    }
    upload_.active = false;
    return encodeSdoAbort(r.index, r.subindex, coe::AbortUnknownCommand, mbxCounter_);
}

std::vector<uint8_t> Slave::sdoUpload(uint16_t index, uint8_t subindex, bool completeAccess, uint8_t counter)
{
    upload_ = Upload();
    const ObjectDictionary::Object *o = od_->find(index);
    if (!o)
        return encodeSdoAbort(index, subindex, coe::AbortNoObject, counter);
    std::vector<uint8_t> data;
    if (completeAccess) {
        const bool served = device_.completeAccess == CompleteAccess::Supported
            || device_.completeAccess == CompleteAccess::Unannounced;
        if (!served || !o->structured || subindex > 1)
            return encodeSdoAbort(index, subindex, coe::AbortUnsupportedAccess, counter);
        data = od_->completeImage(*o, subindex);
    } else {
        if (subindex >= o->subs.size())
            return encodeSdoAbort(index, subindex, coe::AbortNoSubindex, counter);
        data = o->subs[subindex];
        if (!data.empty() && data.size() <= 4 && device_.sdoStyle == SdoStyle::Expedited)
            return encodeSdoExpeditedResponse(index, subindex, data.data(), data.size(), counter);
    }
    const size_t capacity = sdoNormalCapacity(device_.sii.mbxTxSize);
    const size_t first = device_.sdoStyle == SdoStyle::Segmented ? 0 : std::min(capacity, data.size());
    std::vector<uint8_t> reply = encodeSdoNormalResponse(index, subindex, static_cast<uint32_t>(data.size()),
                                                         data.data(), first, counter);
    if (first < data.size()) {
        upload_.active = true;
        upload_.data = std::move(data);
        upload_.offset = first;
        upload_.toggle = false;
        upload_.index = index;
        upload_.subindex = subindex;
    }
    return reply;
}

std::vector<uint8_t> Slave::sdoSegment(bool toggle, uint8_t counter)
{
    if (!upload_.active)
        return encodeSdoAbort(0, 0, coe::AbortUnknownCommand, counter);
    if (toggle != upload_.toggle) {
        const Upload u = upload_;
        upload_ = Upload();
        return encodeSdoAbort(u.index, u.subindex, coe::AbortToggle, counter);
    }
    const size_t n = std::min(sdoSegmentCapacity(device_.sii.mbxTxSize), upload_.data.size() - upload_.offset);
    const bool last = upload_.offset + n == upload_.data.size();
    std::vector<uint8_t> reply = encodeSdoSegmentResponse(toggle, last, upload_.data.data() + upload_.offset, n, counter);
    upload_.offset += n;
    upload_.toggle = !toggle;
    if (last)
        upload_ = Upload();
    return reply;
}

// The reply to the last request of an earlier master session, still in the
// firmware when this session starts: a true answer of this device, only not
// to anything this master asked. It names the first PDO of the assignment,
// so a master taking it for the answer to "how many PDOs" reads a wrong count.
std::vector<uint8_t> Slave::staleReply()
{
    mbxCounter_ = mbx::nextCounter(mbxCounter_);
    uint16_t index = 0x1000;
    uint8_t data[4] = {0, 0, 0, 0};
    size_t size = 4;
    if (!device_.txPdos.empty() || !device_.rxPdos.empty()) {
        const bool inputs = !device_.txPdos.empty();
        index = inputs ? ecwire::coe::TxPdoAssign : ecwire::coe::RxPdoAssign;
        putU16(data, inputs ? device_.txPdos.front().index : device_.rxPdos.front().index);
        size = 2;
        return encodeSdoExpeditedResponse(index, 1, data, size, mbxCounter_);
    }
    putU32(data, device_.deviceType);
    return encodeSdoExpeditedResponse(index, 0, data, size, mbxCounter_);
}

} // namespace ecsim
