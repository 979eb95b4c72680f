#include "coe.h"

#include "clock.h"
#include "txrx.h"

#include <ecwire/mailbox.h>
#include <ecwire/registers.h>

#include <cstdio>

namespace ecmaster {

namespace {

namespace reg = ecwire::reg;

constexpr int kMailboxTimeoutUs = 700000; // a slave answers an SDO request within this
constexpr int kPollPauseUs = 50;
constexpr unsigned kMailboxInSm = 1;       // SyncManager 1: slave to master
constexpr int kMaxSegments = 4096;

std::string hex(uint32_t v, int digits)
{
    char b[16];
    std::snprintf(b, sizeof b, "0x%0*X", digits, unsigned(v));
    return b;
}

bool mailboxFull(ecx_contextt *c, const ec_slavet &s, bool *full)
{
    uint8_t status = 0;
    if (fprd(c, s.configadr, uint16_t(reg::sm(kMailboxInSm) + ecwire::sm::Status), &status, 1) != 1)
        return false;
    *full = (status & ecwire::sm::StatusMailboxFull) != 0;
    return true;
}

bool readMailbox(ecx_contextt *c, const ec_slavet &s, std::vector<uint8_t> &buf)
{
    buf.assign(s.mbx_rl, 0);
    return fprd(c, s.configadr, s.mbx_ro, buf.data(), s.mbx_rl) == 1;
}

// Empties the mailbox-in area of a reply nobody waits for any more.
void flushMailbox(ecx_contextt *c, const ec_slavet &s)
{
    bool full = false;
    std::vector<uint8_t> buf;
    if (mailboxFull(c, s, &full) && full)
        readMailbox(c, s, buf);
}

bool writeMailbox(ecx_contextt *c, const ec_slavet &s, const std::vector<uint8_t> &msg, std::string *why)
{
    if (msg.size() > s.mbx_l) {
        *why = "request does not fit the mailbox";
        return false;
    }
    // The whole area is written so that the SyncManager sees its last byte.
    std::vector<uint8_t> area(s.mbx_l, 0);
    std::copy(msg.begin(), msg.end(), area.begin());
    const int64_t deadline = nowUs() + kMailboxTimeoutUs;
    for (;;) {
        const int wkc = fpwr(c, s.configadr, s.mbx_wo, area.data(), s.mbx_l);
        if (wkc == 1)
            return true;
        if (wkc == EC_NOFRAME || nowUs() >= deadline) {
            *why = wkc == EC_NOFRAME ? "no answer writing the mailbox" : "mailbox stayed full";
            return false;
        }
        sleepUs(kPollPauseUs);
    }
}

// Waits for the next SDO reply (skipping other messages such as emergencies).
bool receiveReply(ecx_contextt *c, const ec_slavet &s, ecwire::SdoReply &reply, std::string *why)
{
    const int64_t deadline = nowUs() + kMailboxTimeoutUs;
    std::vector<uint8_t> buf;
    for (;;) {
        bool full = false;
        if (!mailboxFull(c, s, &full)) {
            *why = "no answer polling the mailbox";
            return false;
        }
        if (full) {
            if (!readMailbox(c, s, buf)) {
                *why = "no answer reading the mailbox";
                return false;
            }
            std::string err;
            if (ecwire::decodeSdoReply(buf.data(), buf.size(), reply, &err))
                return true;
            // Not an SDO reply (an emergency, say): keep waiting.
        }
        if (nowUs() >= deadline) {
            *why = "no SDO reply within " + std::to_string(kMailboxTimeoutUs / 1000) + " ms";
            return false;
        }
        sleepUs(kPollPauseUs);
    }
}

bool checkReply(const ecwire::SdoReply &r, uint16_t index, uint8_t subindex, std::string *why)
{
    const std::string what = hex(index, 4) + ":" + std::to_string(subindex);
    if (r.kind == ecwire::SdoReply::Abort) {
        *why = "SDO " + what + " aborted with code " + hex(r.abortCode, 8);
        return false;
    }
    if (r.kind == ecwire::SdoReply::MailboxError) {
        *why = "mailbox error " + hex(r.mailboxError, 4) + " for SDO " + what;
        return false;
    }
    return true;
}

} // namespace

bool sdoUpload(ecx_contextt *c, uint16_t slave, uint16_t index, uint8_t subindex, bool completeAccess,
               std::vector<uint8_t> &data, std::string *why)
{
    data.clear();
    if (slave == 0 || slave > c->slavecount) {
        *why = "no such slave";
        return false;
    }
    ec_slavet &s = c->slavelist[slave];
    if (s.mbx_l < ecwire::coe::SdoMinMessage || s.mbx_rl < ecwire::coe::SdoMinMessage) {
        *why = "slave has no usable mailbox";
        return false;
    }
    flushMailbox(c, s);
    s.mbx_cnt = ecwire::mbx::nextCounter(s.mbx_cnt);
    if (!writeMailbox(c, s, ecwire::encodeSdoUploadRequest(index, subindex, completeAccess, s.mbx_cnt), why))
        return false;
    ecwire::SdoReply r;
    if (!receiveReply(c, s, r, why) || !checkReply(r, index, subindex, why))
        return false;
    if (r.kind == ecwire::SdoReply::Segment || r.index != index) {
        *why = "SDO reply for another object than " + hex(index, 4);
        return false;
    }
    data = r.data;
    if (r.kind == ecwire::SdoReply::Expedited || r.last)
        return true;
    // Segmented transfer: ask for segments with alternating toggle.
    bool toggle = false;
    for (int n = 0; n < kMaxSegments && data.size() < r.completeSize; ++n) {
        s.mbx_cnt = ecwire::mbx::nextCounter(s.mbx_cnt);
        if (!writeMailbox(c, s, ecwire::encodeSdoSegmentRequest(toggle, s.mbx_cnt), why))
            return false;
        ecwire::SdoReply seg;
        if (!receiveReply(c, s, seg, why) || !checkReply(seg, index, subindex, why))
            return false;
        if (seg.kind != ecwire::SdoReply::Segment || seg.toggle != toggle) {
            *why = "SDO segment out of order";
            return false;
        }
        data.insert(data.end(), seg.data.begin(), seg.data.end());
        if (seg.last)
            return true;
        toggle = !toggle;
    }
    if (data.size() < r.completeSize) {
        *why = "SDO transfer ended early";
        return false;
    }
    return true;
}

} // namespace ecmaster
