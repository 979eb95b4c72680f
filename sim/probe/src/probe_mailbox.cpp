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
    const bool full = pollUntil(
        [&] {
            std::vector<uint8_t> st;
            if (!read(station, Sm1Status, 1, st))
                return Poll::Failed;
            return (st[0] & sm::StatusMailboxFull) ? Poll::Done : Poll::Again;
        },
        [&] { return "no mailbox reply from station " + std::to_string(station); });
    return full && read(station, m.inStart, m.inSize, reply);
}

bool Probe::mailbox(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> request, std::vector<uint8_t> &reply)
{
    request.resize(m.outSize, 0);
    const bool taken = pollUntil(
        [&] {
            std::vector<uint8_t> d = request;
            const int wkc = io(Command::FPWR, ecwire::makeAddress(station, m.outStart), d);
            if (wkc < 0)
                return Poll::Failed;
            return wkc == 1 ? Poll::Done : Poll::Again; // not taken while the write mailbox is full
        },
        [&] { return "station " + std::to_string(station) + " does not take a mailbox request"; });
    return taken && readMailbox(station, m, reply);
}

bool Probe::repeatLastReply(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> &reply)
{
    std::vector<uint8_t> act;
    if (!read(station, Sm1Activate, 1, act))
        return false;
    const uint8_t toggled = static_cast<uint8_t>(act[0] ^ sm::ActivateRepeat);
    if (!write(station, Sm1Activate, {toggled}))
        return false;
    const bool acknowledged = pollUntil(
        [&] {
            std::vector<uint8_t> pdi;
            if (!read(station, Sm1PdiControl, 1, pdi))
                return Poll::Failed;
            return (pdi[0] & sm::PdiRepeatAck) == (toggled & sm::ActivateRepeat) ? Poll::Done : Poll::Again;
        },
        [&] { return "station " + std::to_string(station) + " does not acknowledge the repeat request"; });
    return acknowledged && readMailbox(station, m, reply);
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
