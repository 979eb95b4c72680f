// Mailbox SyncManagers and the CoE SDO server. A request is taken when the
// master writes the last byte of the mailbox-out area; the reply waits in the
// mailbox-in area (status "full") until the master reads its last byte.
#include <algorithm>
#include <cstring>

#include "ecwire/mailbox.h"
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

void Slave::resetMailbox()
{
    replies_.clear();
    upload_ = Upload();
    const uint16_t status = static_cast<uint16_t>(reg::sm(1) + sm::Status);
    mem_.setU8(status, mem_.u8(status) & ~sm::StatusMailboxFull);
}

void Slave::onMailboxOut(const FrameContext &)
{
    const uint16_t state = alStatus() & al::StateMask;
    if (state == al::Init || state == al::Boot)
        return; // the mailbox works from PRE-OP on
    ++stats_.mailboxRequests;
    const SmEntry out = decodeSm(mem_.data() + reg::sm(0));
    postReply(sdoReply(mem_.data() + out.physicalStart, out.length));
}

void Slave::postReply(std::vector<uint8_t> reply)
{
    const uint16_t statusAddr = static_cast<uint16_t>(reg::sm(1) + sm::Status);
    if (mem_.u8(statusAddr) & sm::StatusMailboxFull) {
        replies_.push_back(std::move(reply));
        return;
    }
    const SmEntry in = decodeSm(mem_.data() + reg::sm(1));
    if (!mem_.inRange(in.physicalStart, in.length) || in.length < mbx::HeaderSize)
        return;
    if (reply.size() > in.length) {
        mbxCounter_ = mbx::nextCounter(mbxCounter_);
        reply = encodeMailboxError(mbx::ErrNoMemory, mbxCounter_);
    }
    std::memset(mem_.data() + in.physicalStart, 0, in.length);
    std::memcpy(mem_.data() + in.physicalStart, reply.data(), std::min<size_t>(reply.size(), in.length));
    mem_.setU8(statusAddr, mem_.u8(statusAddr) | sm::StatusMailboxFull);
}

void Slave::onMailboxInRead()
{
    const uint16_t statusAddr = static_cast<uint16_t>(reg::sm(1) + sm::Status);
    mem_.setU8(statusAddr, mem_.u8(statusAddr) & ~sm::StatusMailboxFull);
    if (!replies_.empty()) {
        std::vector<uint8_t> next = std::move(replies_.front());
        replies_.pop_front();
        postReply(std::move(next));
    }
}

std::vector<uint8_t> Slave::sdoReply(const uint8_t *request, size_t length)
{
    SdoRequest r;
    uint16_t mailboxError = 0;
    const bool ok = decodeSdoRequest(request, length, r, &mailboxError);
    mbxCounter_ = mbx::nextCounter(mbxCounter_);
    if (!ok || !od_)
        return encodeMailboxError(ok ? mbx::ErrUnsupportedProtocol : mailboxError, mbxCounter_);
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
        if (!device_.completeAccess() || !o->structured || subindex > 1)
            return encodeSdoAbort(index, subindex, coe::AbortUnsupportedAccess, counter);
        data = od_->completeImage(*o, subindex);
    } else {
        if (subindex >= o->subs.size())
            return encodeSdoAbort(index, subindex, coe::AbortNoSubindex, counter);
        data = o->subs[subindex];
        if (!data.empty() && data.size() <= 4)
            return encodeSdoExpeditedResponse(index, subindex, data.data(), data.size(), counter);
    }
    const size_t capacity = sdoNormalCapacity(device_.sii.mbxTxSize);
    const size_t first = std::min(capacity, data.size());
    std::vector<uint8_t> reply =
        encodeSdoNormalResponse(index, subindex, static_cast<uint32_t>(data.size()), data.data(), first, counter);
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

} // namespace ecsim
