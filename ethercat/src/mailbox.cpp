#include "mailbox.h"

#include "clock.h"
#include "poll_pacer.h"
#include "txrx.h"

#include <ecwire/mailbox.h>
#include <ecwire/registers.h>

#include <algorithm>

namespace ethercat {

namespace {

namespace reg = ecwire::reg;

constexpr unsigned kReadSm = 1; // SyncManager 1: slave to master
constexpr int kLostFramesAllowed = 3;
constexpr int kMaxDrained = 8;           // stale messages dropped at most
uint16_t smRegister(unsigned sm, size_t field)
{
    return uint16_t(reg::sm(sm) + field);
}

// Working counter of one read of the first `length` bytes of the read mailbox
// into `buf` (sized to the whole area). One try only: a second read after a
// lost frame would find the mailbox emptied.
int readMailbox(ecx_contextt *c, const ec_slavet &s, std::vector<uint8_t> &buf, uint16_t length)
{
    buf.assign(s.mbx_rl, 0);
    return transfer(c, ecwire::Command::FPRD, ecwire::makeAddress(s.configadr, s.mbx_ro), buf.data(), length,
                    kConfigTimeoutUs, 1);
}

// Counter (bits 4-6 of the mailbox header's last byte) of the message at the
// start of `area`.
uint8_t counterOf(const std::vector<uint8_t> &area)
{
    ecwire::MailboxHeader h;
    return ecwire::decodeMailboxHeader(area.data(), area.size(), h) ? h.counter : 0;
}

// Checksum (FNV-1a) of the message at the start of `area`: its header and
// the length it declares, the whole area when the header is not usable.
uint32_t sumOf(const std::vector<uint8_t> &area)
{
    ecwire::MailboxHeader h;
    size_t n = area.size();
    if (ecwire::decodeMailboxHeader(area.data(), area.size(), h))
        n = ecwire::mbx::HeaderSize + h.length;
    uint32_t sum = 2166136261u;
    for (size_t i = 0; i < n; ++i)
        sum = (sum ^ area[i]) * 16777619u;
    return sum;
}

// ETG.1000.4 mailbox header counter: a slave numbers its messages 1..7; after
// a repeat request it sends its last one again, same counter, same bytes.
bool sameAsLastTaken(const SlaveBook &b, const std::vector<uint8_t> &area)
{
    return counterOf(area) == b.mbxRxCnt && sumOf(area) == b.mbxRxSum;
}

void take(SlaveBook &b, const std::vector<uint8_t> &area)
{
    b.mbxRxCnt = counterOf(area);
    b.mbxRxSum = sumOf(area);
}

// 1 full, 0 empty, -1 no answer.
int readFull(ecx_contextt *c, const ec_slavet &s)
{
    uint8_t status = 0;
    const int wkc = fprd(c, s.configadr, smRegister(kReadSm, ecwire::sm::Status), &status, 1);
    if (wkc != 1)
        return -1;
    return (status & ecwire::sm::StatusMailboxFull) ? 1 : 0;
}

bool repeatRequest(ecx_contextt *c, const ec_slavet &s, int64_t deadlineUs, std::string *why)
{
    uint8_t activate = 0;
    if (fprd(c, s.configadr, smRegister(kReadSm, ecwire::sm::Activate), &activate, 1) != 1) {
        *why = "no answer reading the read mailbox's activate byte for a repeat request";
        return false;
    }
    // Repeat request (ETG.1000.4, mailbox "repeat"): the master toggles the
    // repeat bit of the read mailbox SyncManager's activate byte; the slave
    // writes its last message again and then makes the repeat acknowledge of
    // the SyncManager's PDI control byte equal to the request.
    activate = uint8_t(activate ^ ecwire::sm::ActivateRepeat);
    if (fpwr(c, s.configadr, smRegister(kReadSm, ecwire::sm::Activate), &activate, 1) != 1) {
        *why = "repeat request not taken by the read mailbox";
        return false;
    }
    PollPacer pacer;
    for (;;) {
        uint8_t pdi = 0;
        if (fprd(c, s.configadr, smRegister(kReadSm, ecwire::sm::PdiControl), &pdi, 1) != 1) {
            *why = "no answer polling the repeat acknowledge";
            return false;
        }
        if (((pdi & ecwire::sm::PdiRepeatAck) != 0) == ((activate & ecwire::sm::ActivateRepeat) != 0))
            return true;
        if (nowUs() >= deadlineUs) {
            *why = "the slave did not acknowledge the mailbox repeat request";
            return false;
        }
        pacer.wait(deadlineUs);
    }
}

} // namespace

MbxResult mbxSend(ecx_contextt *c, const ec_slavet &s, const std::vector<uint8_t> &msg, int64_t deadlineUs,
                  std::string *why)
{
    if (msg.size() > s.mbx_l) {
        *why = "request of " + std::to_string(msg.size()) + " bytes does not fit the " + std::to_string(s.mbx_l)
            + "-byte write mailbox";
        return MbxResult::Failed;
    }
    // The whole area is written so that the SyncManager sees its last byte.
    std::vector<uint8_t> area(s.mbx_l, 0);
    std::copy(msg.begin(), msg.end(), area.begin());
    int lost = 0;
    PollPacer pacer;
    for (;;) {
        const int wkc = transfer(c, ecwire::Command::FPWR, ecwire::makeAddress(s.configadr, s.mbx_wo), area.data(),
                                 s.mbx_l, kConfigTimeoutUs, 1);
        if (wkc == 1)
            return MbxResult::Ok;
        if (wkc == EC_NOFRAME) {
            if (++lost > kLostFramesAllowed) {
                *why = "no answer writing the mailbox";
                return MbxResult::Failed;
            }
            continue;
        }
        // The write mailbox is full. After a lost frame that is our own
        // message, which got there and waits to be taken.
        if (lost > 0)
            return MbxResult::Ok;
        if (nowUs() >= deadlineUs) {
            *why = "the write mailbox stayed full";
            return MbxResult::Timeout;
        }
        pacer.wait(deadlineUs);
    }
}

MbxResult mbxReceive(ecx_contextt *c, int slave, std::vector<uint8_t> &buf, int64_t deadlineUs,
                     std::string *why)
{
    const ec_slavet &s = c->slavelist[slave];
    SlaveBook &b = bookOf(c, slave);
    int lost = 0;
    bool afterRepeat = false; // the next message read is the slave's answer to our repeat request
    PollPacer pacer;
    for (;;) {
        // Every pass looks at the deadline: a slave that keeps sending
        // messages that are not the reply must not hold the caller beyond it.
        if (nowUs() >= deadlineUs)
            return MbxResult::Timeout;
        const int full = readFull(c, s);
        if (full < 0) {
            *why = "no answer polling the read mailbox";
            return MbxResult::Failed;
        }
        if (full == 1) {
            const int wkc = readMailbox(c, s, buf, s.mbx_rl);
            if (wkc == 1) {
                // What the slave repeats may be a message we did get after
                // all (the read we took for lost had not reached it).
                const bool duplicate = afterRepeat && sameAsLastTaken(b, buf);
                afterRepeat = false;
                if (!duplicate) {
                    take(b, buf);
                    return MbxResult::Ok;
                }
            } else if (wkc == EC_NOFRAME) {
                if (++lost > kLostFramesAllowed) {
                    *why = "no answer reading the read mailbox";
                    return MbxResult::Failed;
                }
                // Empty now: the read emptied it and its frame got lost on
                // the way back. Still full: either the read never got there,
                // or it did and the slave at once put its next message in.
                // The message there tells: the one after the last taken is
                // the one the read missed; anything else comes after a lost
                // one, which only a repeat request brings back.
                const int again = readFull(c, s);
                if (again < 0) {
                    *why = "no answer polling the read mailbox";
                    return MbxResult::Failed;
                }
                bool repeat = again == 0;
                if (again == 1) {
                    std::vector<uint8_t> peeked;
                    // Without its last byte: the ESC empties a mailbox when
                    // its last byte is read, so the message stays there.
                    if (readMailbox(c, s, peeked, uint16_t(s.mbx_rl - 1)) != 1) {
                        *why = "no answer looking into the read mailbox";
                        return MbxResult::Failed;
                    }
                    const uint8_t counter = counterOf(peeked);
                    repeat = counter == 0 || counter != ecwire::mbx::nextCounter(b.mbxRxCnt);
                }
                if (repeat) {
                    if (!repeatRequest(c, s, deadlineUs, why))
                        return MbxResult::Failed;
                    afterRepeat = true;
                }
            }
            // Working counter 0: the mailbox was not full after all.
        }
        if (full != 1)
            pacer.wait(deadlineUs);
    }
}

void mbxDrain(ecx_contextt *c, int slave)
{
    const ec_slavet &s = c->slavelist[slave];
    SlaveBook &b = bookOf(c, slave);
    if (b.mbxDrained)
        return;
    b.mbxDrained = true;
    std::vector<uint8_t> buf;
    for (int i = 0; i < kMaxDrained && readFull(c, s) == 1; ++i)
        if (readMailbox(c, s, buf, s.mbx_rl) == 1)
            take(b, buf);
}

} // namespace ethercat
