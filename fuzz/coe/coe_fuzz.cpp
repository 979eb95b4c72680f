// Fuzz target: mailbox messages and CoE SDO replies as read from a slave's
// mailbox-in area, and SDO requests as a slave receives them. The input is
// the mailbox area's content. Decoded replies are encoded again and must
// decode to the same thing.
#include "fuzz_check.h"

#include <ecwire/mailbox.h>

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace ecwire;

namespace {

void checkReplyRoundTrip(const SdoReply &r)
{
    std::vector<uint8_t> again;
    switch (r.kind) {
    case SdoReply::Expedited:
        FUZZ_CHECK(!r.data.empty() && r.data.size() <= 4, "expedited data is 1 to 4 bytes");
        again = encodeSdoExpeditedResponse(r.index, r.subindex, r.data.data(), r.data.size(), r.counter);
        break;
    case SdoReply::Normal:
        FUZZ_CHECK(r.data.size() <= r.completeSize, "a normal reply carries at most its complete size");
        again = encodeSdoNormalResponse(r.index, r.subindex, r.completeSize, r.data.data(), r.data.size(),
                                        r.counter);
        break;
    case SdoReply::Segment:
        again = encodeSdoSegmentResponse(r.toggle, r.last, r.data.data(), r.data.size(), r.counter);
        break;
    case SdoReply::Abort:
        again = encodeSdoAbort(r.index, r.subindex, r.abortCode, r.counter);
        break;
    case SdoReply::MailboxError:
        again = encodeMailboxError(r.mailboxError, r.counter);
        break;
    }
    SdoReply back;
    std::string error;
    FUZZ_CHECK(decodeSdoReply(again.data(), again.size(), back, &error), "an encoded reply decodes");
    FUZZ_CHECK(back.kind == r.kind, "reply kind survives a round trip");
    FUZZ_CHECK(back.counter == r.counter, "mailbox counter survives a round trip");
    FUZZ_CHECK(back.data == r.data, "reply data survives a round trip");
    if (r.kind != SdoReply::Segment && r.kind != SdoReply::MailboxError)
        FUZZ_CHECK(back.index == r.index && back.subindex == r.subindex, "object address survives");
    if (r.kind == SdoReply::Abort)
        FUZZ_CHECK(back.abortCode == r.abortCode, "abort code survives a round trip");
    if (r.kind == SdoReply::Segment)
        FUZZ_CHECK(back.toggle == r.toggle && back.last == r.last, "segment flags survive");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Decoders get exactly the bytes at hand: a copy of the right size lets
    // the address sanitizer see any read past them.
    std::vector<uint8_t> area(data, data + size);
    const uint8_t *p = area.empty() ? nullptr : area.data();

    MailboxHeader h;
    std::string error;
    if (decodeMailboxHeader(p, area.size(), h, &error))
        FUZZ_CHECK(size_t(h.length) + mbx::HeaderSize <= area.size(), "declared length within the area");

    SdoReply reply;
    error.clear();
    if (decodeSdoReply(p, area.size(), reply, &error))
        checkReplyRoundTrip(reply);
    else
        FUZZ_CHECK(!error.empty(), "a refused reply says why");

    SdoRequest request;
    uint16_t mailboxError = 0;
    error.clear();
    if (!decodeSdoRequest(p, area.size(), request, &mailboxError, &error))
        FUZZ_CHECK(mailboxError != 0 && !error.empty(), "a refused request names a mailbox error");

    // Capacities for any mailbox size the SII could declare.
    if (size >= 2) {
        const size_t mailboxSize = static_cast<size_t>(data[0] | (data[1] << 8));
        FUZZ_CHECK(sdoNormalCapacity(mailboxSize) <= mailboxSize, "normal capacity within the mailbox");
        FUZZ_CHECK(sdoSegmentCapacity(mailboxSize) <= mailboxSize, "segment capacity within the mailbox");
    }
    return 0;
}
