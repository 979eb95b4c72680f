// The mailbox SyncManagers as the ESC and the firmware behind it run them.
// - A request counts once the frame that wrote the last byte of the write
//   mailbox (SM0) has passed; SM0 reads full until the firmware takes it.
//   The firmware takes one request at a time and answers it after its own
//   time (DeviceTiming::mailboxNs); meanwhile a further request waits in SM0
//   and the master cannot write another.
// - The reply goes into the read mailbox (SM1), which then reads full; a
//   reply that finds SM1 full waits behind it. Reading SM1's last byte
//   empties it.
// - Repeat request: the master toggles bit 1 of SM1's activate byte; the
//   firmware puts the last reply the master read back into SM1 (an unread
//   newer one waits behind it) and answers with the same toggle in bit 1 of
//   SM1's PDI control byte. A master recovers a reply lost on the wire so.
// - Mailbox requests are served from PRE-OP on; INIT drops what is pending.
#include <algorithm>
#include <cstring>

#include "ecwire/mailbox.h"
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

bool Slave::mailboxRunning() const
{
    const uint16_t state = alStatus() & al::StateMask;
    return device_.hasMailbox() && state != al::Init && state != al::Boot
        && (sm(1).activate & sm::ActivateEnable);
}

void Slave::resetMailbox()
{
    replies_.clear();
    upload_ = Upload();
    mbxWorking_ = false;
    repeatBusy_ = false;
    mbxRequest_.clear();
    inMailbox_.clear();
    lastRead_.clear();
    setSmStatus(0, sm::StatusMailboxFull, false);
    setSmStatus(1, sm::StatusMailboxFull, false);
}

void Slave::mailboxOutWritten()
{
    setSmStatus(0, sm::StatusMailboxFull, true);
    if (!mbxWorking_)
        takeRequest();
}

void Slave::takeRequest()
{
    if (!(smStatus(0) & sm::StatusMailboxFull))
        return;
    const SmEntry &out = sm(0);
    setSmStatus(0, sm::StatusMailboxFull, false);
    const uint16_t state = alStatus() & al::StateMask;
    if (state == al::Init || state == al::Boot || !mem_.inRange(out.physicalStart, out.length))
        return; // the mailbox handler does not run: the request is dropped
    ++stats_.mailboxRequests;
    mbxRequest_.assign(mem_.data() + out.physicalStart, mem_.data() + out.physicalStart + out.length);
    mbxWorking_ = true;
    mbxDueNs_ = nowNs_ + device_.timing.mailboxNs;
}

void Slave::mailboxDue()
{
    if (mbxWorking_ && nowNs_ >= mbxDueNs_) {
        mbxWorking_ = false;
        postReply(sdoReply(mbxRequest_.data(), mbxRequest_.size()));
        takeRequest();
    }
    if (repeatBusy_ && nowNs_ >= repeatDueNs_) {
        repeatBusy_ = false;
        if (!inMailbox_.empty()) // an unread newer reply waits behind the repeated one
            replies_.push_front(inMailbox_);
        setSmStatus(1, sm::StatusMailboxFull, false);
        if (!lastRead_.empty())
            fillReadMailbox(lastRead_);
        else if (!replies_.empty()) {
            fillReadMailbox(replies_.front());
            replies_.pop_front();
        }
        acknowledgeRepeat(1);
        ++stats_.repeats;
    }
}

void Slave::repeatRequested()
{
    repeatBusy_ = true;
    repeatDueNs_ = nowNs_ + device_.timing.mailboxNs;
}

void Slave::postReply(std::vector<uint8_t> reply)
{
    if ((smStatus(1) & sm::StatusMailboxFull) || repeatBusy_) {
        replies_.push_back(std::move(reply));
        return;
    }
    fillReadMailbox(reply);
}

void Slave::fillReadMailbox(const std::vector<uint8_t> &reply)
{
    const SmEntry &in = sm(1);
    if (!(in.activate & sm::ActivateEnable) || !mem_.inRange(in.physicalStart, in.length)
        || in.length < mbx::HeaderSize)
        return;
    std::vector<uint8_t> message = reply;
    if (message.size() > in.length) {
        mbxCounter_ = mbx::nextCounter(mbxCounter_);
        message = encodeMailboxError(mbx::ErrNoMemory, mbxCounter_);
    }
    std::memset(mem_.data() + in.physicalStart, 0, in.length);
    std::memcpy(mem_.data() + in.physicalStart, message.data(), std::min<size_t>(message.size(), in.length));
    inMailbox_ = std::move(message);
    setSmStatus(1, sm::StatusMailboxFull, true);
}

void Slave::mailboxInRead()
{
    setSmStatus(1, sm::StatusMailboxFull, false);
    lastRead_ = std::move(inMailbox_);
    inMailbox_.clear();
    if (loseReplies_ > 0 && !lastRead_.empty()) {
        --loseReplies_;
        ++stats_.lostReplies;
        frameLost_ = true;
    }
    if (!replies_.empty() && !repeatBusy_) {
        std::vector<uint8_t> next = std::move(replies_.front());
        replies_.pop_front();
        fillReadMailbox(next);
    }
}

void Slave::putStaleReply()
{
    if (mailboxRunning()) {
        postReply(staleReply());
        staleArmed_ = false;
    } else {
        staleArmed_ = true;
    }
}

} // namespace ecsim
