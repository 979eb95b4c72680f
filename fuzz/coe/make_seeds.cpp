// Seed program for the CoE target: the replies the simulated sensor gives to
// the uploads a master makes at bring-up (device type, identity, SyncManager
// types, PDO assignment and mapping), aborts, segments and mailbox errors, as
// they sit in a 128-byte mailbox-in area; and the requests a slave receives.
#include "seed_writer.h"

#include <ecwire/le.h>
#include <ecwire/mailbox.h>

#include <cstdio>

#ifdef FUZZ_SEEDS_FROM_BUS
#include "bus_capture.h"
#endif

using namespace ecwire;

namespace {

constexpr size_t kMailboxArea = 128;

bool put(const std::string &name, std::vector<uint8_t> msg)
{
    if (msg.size() < kMailboxArea)
        msg.resize(kMailboxArea, 0);
    return fuzzseeds::write(name, msg);
}

std::vector<uint8_t> u32s(std::initializer_list<uint32_t> values)
{
    std::vector<uint8_t> b(values.size() * 4);
    size_t i = 0;
    for (uint32_t v : values)
        putU32(b.data() + 4 * i++, v);
    return b;
}

} // namespace

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    bool ok = true;
    const uint8_t devType[4] = {0x00, 0x00, 0x00, 0x00};
    ok &= put("reply-expedited-1000", encodeSdoExpeditedResponse(0x1000, 0, devType, 4, 1));
    const uint8_t count1[1] = {1};
    ok &= put("reply-expedited-1c13-0", encodeSdoExpeditedResponse(0x1C13, 0, count1, 1, 2));
    const uint8_t pdo[2] = {0x00, 0x1A};
    ok &= put("reply-expedited-1c13-1", encodeSdoExpeditedResponse(0x1C13, 1, pdo, 2, 3));
    const uint8_t three[3] = {1, 2, 3};
    ok &= put("reply-expedited-3bytes", encodeSdoExpeditedResponse(0x2000, 1, three, 3, 4));

    // Complete access replies: sub 0 count followed by the entries.
    std::vector<uint8_t> identity = {4, 0};
    const std::vector<uint8_t> idValues = u32s({0x00000ECA, 0x50524553, 0x00010000, 0x00000001});
    identity.insert(identity.end(), idValues.begin(), idValues.end());
    ok &= put("reply-normal-1018-complete",
              encodeSdoNormalResponse(0x1018, 0, uint32_t(identity.size()), identity.data(), identity.size(), 5));
    const std::vector<uint8_t> smTypes = {4, 0, 1, 2, 3, 4};
    ok &= put("reply-normal-1c00-complete",
              encodeSdoNormalResponse(0x1C00, 0, uint32_t(smTypes.size()), smTypes.data(), smTypes.size(), 6));
    std::vector<uint8_t> mapping = {2, 0};
    const std::vector<uint8_t> entries = u32s({0x60000108, 0x60000220});
    mapping.insert(mapping.end(), entries.begin(), entries.end());
    ok &= put("reply-normal-1a00-complete",
              encodeSdoNormalResponse(0x1A00, 0, uint32_t(mapping.size()), mapping.data(), mapping.size(), 7));

    // A long object: first part in a normal reply, the rest in segments.
    std::vector<uint8_t> name(200);
    for (size_t i = 0; i < name.size(); ++i)
        name[i] = static_cast<uint8_t>('A' + i % 26);
    const size_t first = sdoNormalCapacity(kMailboxArea); // 112: the rest fits one segment
    ok &= put("reply-normal-1008-first-part",
              encodeSdoNormalResponse(0x1008, 0, uint32_t(name.size()), name.data(), first, 1));
    ok &= put("reply-segment-toggle0",
              encodeSdoSegmentResponse(false, true, name.data() + first, name.size() - first, 2));
    ok &= put("reply-segment-last-short", encodeSdoSegmentResponse(true, true, name.data(), 3, 3));

    ok &= put("reply-abort-no-object", encodeSdoAbort(0x2000, 0, coe::AbortNoObject, 4));
    ok &= put("reply-abort-no-subindex", encodeSdoAbort(0x1018, 9, coe::AbortNoSubindex, 5));
    ok &= put("reply-mailbox-error", encodeMailboxError(mbx::ErrUnsupportedProtocol, 6));

    ok &= put("request-upload-1c12", encodeSdoUploadRequest(0x1C12, 0, false, 1));
    ok &= put("request-upload-1a00-complete", encodeSdoUploadRequest(0x1A00, 0, true, 2));
    ok &= put("request-segment", encodeSdoSegmentRequest(true, 3));

#ifdef FUZZ_SEEDS_FROM_BUS
    // The mailbox areas the master read from the simulated sensor at bring-up.
    fuzzbus::Capture c;
    fuzzbus::captureBringUp("sensor", c);
    for (size_t i = 0; i < c.mailboxReads.size(); ++i)
        ok &= fuzzseeds::write("simulator-mailbox-read-" + std::to_string(i), c.mailboxReads[i]);
#endif
    return ok ? 0 : 1;
}
