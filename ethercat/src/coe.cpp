#include "coe.h"

#include "clock.h"
#include "error_list.h"
#include "mailbox.h"
#include "report.h"

#include <ecwire/mailbox.h>

namespace ethercat {

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
// or a segment where none was asked for.
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

// What a mailbox message that is not the awaited reply was, for the
// message that says why none came.
std::string otherMessage(const ecwire::SdoReply &r)
{
    if (r.mailboxType < 0)
        return "malformed";
    if (r.mailboxType != ecwire::mbx::TypeCoE || r.coeService < 0)
        return "mailbox type " + std::to_string(r.mailboxType);
    if (r.coeService == ecwire::coe::ServiceEmergency)
        return "CoE emergency";
    if (r.coeService == ecwire::coe::ServiceSdoResponse || r.coeService == ecwire::coe::ServiceSdoRequest)
        return "SDO reply not to this request";
    return "CoE service " + std::to_string(r.coeService);
}

// Sends `request` (its counter taken from the slave entry) to slave number
// `slave` and waits for the reply `x` describes; messages that are not it are
// read and dropped until the deadline, an emergency among them recorded in
// the error list.
bool transact(ecx_contextt *c, uint16_t slave, const std::vector<uint8_t> &request, const Expected &x,
              ecwire::SdoReply &reply, SdoError *err)
{
    const ec_slavet &s = c->slavelist[slave];
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
    int others = 0;
    std::string lastOther;
    for (;;) {
        switch (mbxReceive(c, slave, buf, deadline, &why)) {
        case MbxResult::Ok:
            break;
        case MbxResult::Timeout: {
            const std::string waited = what + ": no reply within " + std::to_string(kSdoTimeoutUs / 1000) + " ms";
            if (others == 0)
                return fail(err, SdoError::NoReply, waited);
            // The mailbox answers, just not with our reply.
            recordPacketError(c, slave, x.index, x.subindex, kUnexpectedReply);
            return fail(err, SdoError::Unmatched,
                        waited + " (" + std::to_string(others) + " other mailbox message" + (others == 1 ? "" : "s")
                            + " read and dropped, the last: " + lastOther + ")");
        }
        case MbxResult::Failed:
            return fail(err, SdoError::Other, what + ": " + why);
        }
        if (ecwire::decodeSdoReply(buf.data(), buf.size(), reply) && wanted(reply, x))
            return true;
        // Another protocol, an emergency, a reply to something else, or
        // malformed: dropped. mbxReceive watches the deadline.
        ecwire::Emergency emergency;
        if (ecwire::decodeEmergency(buf.data(), buf.size(), emergency))
            recordEmergency(c, slave, emergency);
        ++others;
        lastOther = otherMessage(reply);
    }
}

// An abort or a mailbox error reply fails the upload; both are recorded in
// the error list.
bool checkReply(ecx_contextt *c, uint16_t slave, const ecwire::SdoReply &r, const Expected &x, SdoError *err)
{
    if (r.kind == ecwire::SdoReply::Abort) {
        recordSdoAbort(c, slave, x.index, x.subindex, r.abortCode);
        err->abortCode = r.abortCode;
        return fail(err, SdoError::Aborted,
                    objectText(x.index, x.subindex) + " aborted with code " + hex(r.abortCode, 8));
    }
    if (r.kind == ecwire::SdoReply::MailboxError) {
        recordMailboxError(c, slave, r.mailboxError);
        return fail(err, SdoError::Other,
                    "mailbox error " + hex(r.mailboxError, 4) + " for " + objectText(x.index, x.subindex));
    }
    return true;
}

// A transfer that came back unusable: recorded as a packet error.
bool unusable(ecx_contextt *c, uint16_t slave, const Expected &x, PacketError code, SdoError *err, std::string text)
{
    recordPacketError(c, slave, x.index, x.subindex, code);
    return fail(err, SdoError::Other, objectText(x.index, x.subindex) + text);
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
    if (!sdoMailbox(s))
        return fail(err, SdoError::Other, "slave has no usable mailbox");
    // A reply may still wait from an earlier master: it is not ours.
    mbxDrain(c, slave);
    Expected x;
    x.index = index;
    x.subindex = subindex;
    s.mbx_cnt = ecwire::mbx::nextCounter(s.mbx_cnt);
    ecwire::SdoReply r;
    if (!transact(c, slave, ecwire::encodeSdoUploadRequest(index, subindex, completeAccess, s.mbx_cnt), x, r, err)
        || !checkReply(c, slave, r, x, err))
        return false;
    data = std::move(r.data);
    if (r.kind == ecwire::SdoReply::Expedited)
        return true;
    // Normal transfer: the data that fit this reply, segments for the rest;
    // without an indicated size, segments until the one marked last.
    const bool sized = r.sizeIndicated;
    const uint32_t size = sized ? r.completeSize : kMaxObjectSize;
    if (size > kMaxObjectSize)
        return unusable(c, slave, x, kDataDoesNotFit, err, " declares " + std::to_string(size) + " bytes");
    x.segment = true;
    bool toggle = false;
    bool last = false;
    for (int n = 0; n < kMaxSegments && data.size() < size; ++n) {
        s.mbx_cnt = ecwire::mbx::nextCounter(s.mbx_cnt);
        ecwire::SdoReply seg;
        if (!transact(c, slave, ecwire::encodeSdoSegmentRequest(toggle, s.mbx_cnt), x, seg, err)
            || !checkReply(c, slave, seg, x, err))
            return false;
        if (seg.toggle != toggle)
            return unusable(c, slave, x, kUnexpectedReply, err, ": segment out of order");
        data.insert(data.end(), seg.data.begin(), seg.data.end());
        last = seg.last;
        if (last)
            break;
        toggle = !toggle;
    }
    if (!sized) {
        if (!last)
            return unusable(c, slave, x, kDataDoesNotFit, err,
                            ": no last segment within " + std::to_string(data.size()) + " bytes (size not indicated)");
        return true;
    }
    if (data.size() < size)
        return unusable(c, slave, x, kUnexpectedReply, err,
                        ": transfer ended after " + std::to_string(data.size()) + " of " + std::to_string(size)
                            + " bytes");
    // Whatever the last segment carried beyond the declared size is padding.
    data.resize(size);
    return true;
}

} // namespace ethercat
