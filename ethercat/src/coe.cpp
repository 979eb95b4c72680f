#include "coe.h"

#include "clock.h"
#include "mailbox.h"
#include "report.h"

#include <ecwire/mailbox.h>

namespace ecmaster {

namespace {

constexpr int kMaxSegments = 4096;
constexpr uint32_t kMaxObjectSize = 0xFFFF; // far beyond any object the master reads

std::string objectText(uint16_t index, uint8_t subindex)
{
    return "SDO " + hex(index, 4) + ":" + hex(subindex, 2).substr(2);
}

bool fail(SdoError *err, SdoError::Kind kind, std::string text)
{
    err->kind = kind;
    err->text = std::move(text);
    return false;
}

// What the next reply must be.
struct Expected {
    bool segment = false; // an upload segment (else the reply to the upload request)
    uint16_t index = 0;
    uint8_t subindex = 0;
};

// Whether a decoded message is the reply we wait for. Anything else is
// dropped: a reply to another object (late, or left by an earlier master),
// a segment where none was asked for, or a message the slave repeated.
bool wanted(const ecwire::SdoReply &r, const Expected &x)
{
    switch (r.kind) {
    case ecwire::SdoReply::MailboxError:
        return true; // the slave could not take our request
    case ecwire::SdoReply::Abort:
        return r.index == x.index && r.subindex == x.subindex;
    case ecwire::SdoReply::Segment:
        return x.segment;
    case ecwire::SdoReply::Expedited:
    case ecwire::SdoReply::Normal:
        return !x.segment && r.index == x.index && r.subindex == x.subindex;
    }
    return false;
}

// Sends `request` (its counter taken from the slave entry) and waits for the
// reply `x` describes.
bool transact(ecx_contextt *c, ec_slavet &s, const std::vector<uint8_t> &request, const Expected &x,
              ecwire::SdoReply &reply, SdoError *err)
{
    const std::string what = objectText(x.index, x.subindex);
    const int64_t deadline = nowUs() + kSdoTimeoutUs;
    std::string why;
    switch (mbxSend(c, s, request, deadline, &why)) {
    case MbxResult::Ok:
        break;
    case MbxResult::Timeout:
        return fail(err, SdoError::NoReply, what + ": " + why);
    case MbxResult::Failed:
        return fail(err, SdoError::Other, what + ": " + why);
    }
    std::vector<uint8_t> buf;
    for (;;) {
        switch (mbxReceive(c, s, buf, deadline, &why)) {
        case MbxResult::Ok:
            break;
        case MbxResult::Timeout:
            return fail(err, SdoError::NoReply,
                        what + ": no reply within " + std::to_string(kSdoTimeoutUs / 1000) + " ms");
        case MbxResult::Failed:
            return fail(err, SdoError::Other, what + ": " + why);
        }
        if (!ecwire::decodeSdoReply(buf.data(), buf.size(), reply))
            continue; // another protocol, an emergency, or malformed
        // The counter tells a new message from one the slave sent again
        // (ETG.1000.4 mailbox header: 1..7, 0 only at start).
        const bool repeated = reply.counter != 0 && reply.counter == s.mbx_rx_cnt;
        s.mbx_rx_cnt = reply.counter;
        if (!repeated && wanted(reply, x))
            return true;
        if (nowUs() >= deadline) // a slave that keeps sending other messages
            return fail(err, SdoError::NoReply,
                        what + ": no reply within " + std::to_string(kSdoTimeoutUs / 1000) + " ms");
    }
}

bool checkReply(const ecwire::SdoReply &r, const Expected &x, SdoError *err)
{
    if (r.kind == ecwire::SdoReply::Abort) {
        err->abortCode = r.abortCode;
        return fail(err, SdoError::Aborted,
                    objectText(x.index, x.subindex) + " aborted with code " + hex(r.abortCode, 8));
    }
    if (r.kind == ecwire::SdoReply::MailboxError)
        return fail(err, SdoError::Other,
                    "mailbox error " + hex(r.mailboxError, 4) + " for " + objectText(x.index, x.subindex));
    return true;
}

} // namespace

bool sdoUpload(ecx_contextt *c, uint16_t slave, uint16_t index, uint8_t subindex, bool completeAccess,
               std::vector<uint8_t> &data, SdoError *err)
{
    data.clear();
    *err = SdoError();
    if (slave == 0 || slave > c->slavecount)
        return fail(err, SdoError::Other, "no such slave");
    ec_slavet &s = c->slavelist[slave];
    if (s.mbx_l < ecwire::coe::SdoMinMessage || s.mbx_rl < ecwire::coe::SdoMinMessage)
        return fail(err, SdoError::Other, "slave has no usable mailbox");
    if (!s.mbx_drained) {
        // A reply may still wait from an earlier master: it is not ours.
        mbxDrain(c, s);
        s.mbx_drained = 1;
    }
    Expected x;
    x.index = index;
    x.subindex = subindex;
    s.mbx_cnt = ecwire::mbx::nextCounter(s.mbx_cnt);
    ecwire::SdoReply r;
    if (!transact(c, s, ecwire::encodeSdoUploadRequest(index, subindex, completeAccess, s.mbx_cnt), x, r, err)
        || !checkReply(r, x, err))
        return false;
    data = std::move(r.data);
    if (r.kind == ecwire::SdoReply::Expedited)
        return true;
    // Normal transfer: the data that fit this reply, segments for the rest.
    const uint32_t size = r.completeSize;
    if (size > kMaxObjectSize)
        return fail(err, SdoError::Other, objectText(index, subindex) + " declares " + std::to_string(size) + " bytes");
    x.segment = true;
    bool toggle = false;
    for (int n = 0; n < kMaxSegments && data.size() < size; ++n) {
        s.mbx_cnt = ecwire::mbx::nextCounter(s.mbx_cnt);
        ecwire::SdoReply seg;
        if (!transact(c, s, ecwire::encodeSdoSegmentRequest(toggle, s.mbx_cnt), x, seg, err)
            || !checkReply(seg, x, err))
            return false;
        if (seg.toggle != toggle)
            return fail(err, SdoError::Other, objectText(index, subindex) + ": segment out of order");
        data.insert(data.end(), seg.data.begin(), seg.data.end());
        if (seg.last)
            break;
        toggle = !toggle;
    }
    if (data.size() < size)
        return fail(err, SdoError::Other,
                    objectText(index, subindex) + ": transfer ended after " + std::to_string(data.size()) + " of "
                        + std::to_string(size) + " bytes");
    // Whatever the last segment carried beyond the declared size is padding.
    data.resize(size);
    return true;
}

} // namespace ecmaster
