// Mailbox exchanges and SDO uploads: a request goes into the write mailbox
// (again while the slave has not taken the last one), the reply is read once
// SM1 reads full, and a reply that answers something else is dropped.
#include <ecprobe/probe.h>

#include <ecwire/le.h>
#include <ecwire/mailbox.h>
#include <ecwire/registers.h>

namespace ecprobe {

namespace reg = ecwire::reg;
namespace sm = ecwire::sm;
using ecwire::Command;

namespace {
constexpr uint16_t Sm1Status = reg::sm(1) + sm::Status;
constexpr uint16_t Sm1Activate = reg::sm(1) + sm::Activate;
constexpr uint16_t Sm1PdiControl = reg::sm(1) + sm::PdiControl;
} // namespace

bool Probe::readMailbox(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> &reply)
{
    const uint64_t deadline = now() + timeoutNs;
    Backoff pause(*this);
    for (;;) {
        std::vector<uint8_t> st;
        if (!read(station, Sm1Status, 1, st))
            return false;
        if (st[0] & sm::StatusMailboxFull)
            return read(station, m.inStart, m.inSize, reply);
        if (deadlinePassed(deadline))
            return fail("no mailbox reply from station " + std::to_string(station));
        wait(pause.step());
    }
}

bool Probe::mailbox(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> request, std::vector<uint8_t> &reply)
{
    request.resize(m.outSize, 0);
    const uint64_t deadline = now() + timeoutNs;
    Backoff pause(*this);
    for (;;) {
        std::vector<uint8_t> d = request;
        const int wkc = io(Command::FPWR, ecwire::makeAddress(station, m.outStart), d);
        if (wkc < 0)
            return false;
        if (wkc == 1)
            break;
        if (deadlinePassed(deadline)) // the write mailbox stays full
            return fail("station " + std::to_string(station) + " does not take a mailbox request");
        wait(pause.step());
    }
    return readMailbox(station, m, reply);
}

bool Probe::repeatLastReply(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> &reply)
{
    std::vector<uint8_t> act;
    if (!read(station, Sm1Activate, 1, act))
        return false;
    const uint8_t toggled = static_cast<uint8_t>(act[0] ^ sm::ActivateRepeat);
    if (!write(station, Sm1Activate, {toggled}))
        return false;
    const uint64_t deadline = now() + timeoutNs;
    Backoff pause(*this);
    for (;;) {
        std::vector<uint8_t> pdi;
        if (!read(station, Sm1PdiControl, 1, pdi))
            return false;
        if ((pdi[0] & sm::PdiRepeatAck) == (toggled & sm::ActivateRepeat))
            return readMailbox(station, m, reply);
        if (deadlinePassed(deadline))
            return fail("station " + std::to_string(station) + " does not acknowledge the repeat request");
        wait(pause.step());
    }
}

bool Probe::upload(uint16_t station, const MailboxLayout &m, uint16_t index, uint8_t subindex, bool completeAccess,
                   std::vector<uint8_t> &data, uint32_t *abortCode)
{
    using ecwire::SdoReply;
    counter = ecwire::mbx::nextCounter(counter);
    std::vector<uint8_t> raw;
    if (!mailbox(station, m, ecwire::encodeSdoUploadRequest(index, subindex, completeAccess, counter), raw))
        return false;
    SdoReply r;
    std::string why;
    for (;;) {
        if (!ecwire::decodeSdoReply(raw.data(), raw.size(), r, &why))
            return fail("SDO reply for " + std::to_string(index) + ": " + why);
        const bool ours = r.kind == SdoReply::MailboxError || (r.kind != SdoReply::Segment && r.index == index
                                                                   && r.subindex == subindex);
        if (ours)
            break;
        if (!readMailbox(station, m, raw)) // not the answer to this request: dropped
            return false;
    }
    if (r.kind == SdoReply::MailboxError)
        return fail("mailbox error " + std::to_string(r.mailboxError));
    if (r.kind == SdoReply::Abort) {
        if (abortCode)
            *abortCode = r.abortCode;
        return fail("SDO abort " + std::to_string(r.abortCode));
    }
    data = r.data;
    bool toggle = false;
    while (r.kind == SdoReply::Normal && data.size() < r.completeSize) {
        counter = ecwire::mbx::nextCounter(counter);
        if (!mailbox(station, m, ecwire::encodeSdoSegmentRequest(toggle, counter), raw))
            return false;
        SdoReply s;
        if (!ecwire::decodeSdoReply(raw.data(), raw.size(), s, &why) || s.kind != SdoReply::Segment
            || s.toggle != toggle)
            return fail("SDO segment for " + std::to_string(index) + " unexpected: " + why);
        data.insert(data.end(), s.data.begin(), s.data.end());
        toggle = !toggle;
        if (s.last)
            break;
    }
    if (r.kind == SdoReply::Normal && data.size() > r.completeSize)
        data.resize(r.completeSize);
    return true;
}

} // namespace ecprobe
