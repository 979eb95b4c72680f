// Cyclic process data: the group 0 image in as few frames as it fits, with
// LRW, or LWR + LRD when a slave cannot take LRW.
#include "processdata.h"

#include "clock.h"
#include "txrx.h"

#include <algorithm>

using namespace ethercat;

namespace {

constexpr size_t kFrameRoom = ecwire::dgram::MaxData + ecwire::dgram::Overhead; // datagram bytes of one frame

// Adds the datagrams for image bytes [from, to) as parts of at most MaxData.
void addPieces(ecwire::Command command, uint32_t from, uint32_t to, PdPiece *out, size_t &n, size_t max)
{
    for (uint32_t off = from; off < to && n < max; off += uint32_t(ecwire::dgram::MaxData)) {
        PdPiece &p = out[n++];
        p.command = command;
        p.offset = off;
        p.length = uint16_t(std::min<uint32_t>(to - off, uint32_t(ecwire::dgram::MaxData)));
    }
}

Datagram datagramOf(const ec_groupt &g, const PdPiece &p, uint8_t *image, uint32_t inputsFrom)
{
    Datagram d;
    d.command = p.command;
    d.address = g.logstartaddr + p.offset;
    d.data = image + p.offset;
    d.length = p.length;
    // Output bytes that come back are never written into the image: the
    // caller may already be filling in the next cycle's outputs.
    if (p.command == ecwire::Command::LRW)
        d.keep = uint16_t(inputsFrom > p.offset ? std::min<uint32_t>(inputsFrom - p.offset, p.length) : 0);
    return d;
}

// The datagrams of frame `f`, ready to send or to match a reply against.
size_t datagramsOf(ecx_contextt *c, const PdFrame &f, uint8_t *image, uint32_t inputsFrom, Datagram *out)
{
    for (size_t i = 0; i < f.pieces; ++i)
        out[i] = datagramOf(c->grouplist[0], f.piece[i], image, inputsFrom);
    return f.pieces;
}

} // namespace

size_t ethercat::planPdFrames(const ec_groupt &g, PdFrame *frames, size_t maxFrames)
{
    constexpr size_t kMaxPieces = kMaxPdFrames * kPdPiecesPerFrame;
    PdPiece pieces[kMaxPieces];
    size_t n = 0;
    const uint32_t total = g.Obytes + g.Ibytes;
    if (g.blockLRW) {
        addPieces(ecwire::Command::LWR, 0, g.Obytes, pieces, n, kMaxPieces);
        addPieces(ecwire::Command::LRD, g.Obytes, total, pieces, n, kMaxPieces);
    } else {
        addPieces(ecwire::Command::LRW, 0, total, pieces, n, kMaxPieces);
    }
    size_t count = 0;
    size_t used = kFrameRoom; // room taken in the current frame
    for (size_t i = 0; i < n; ++i) {
        const size_t need = pieces[i].length + ecwire::dgram::Overhead;
        const bool fits = count > 0 && used + need <= kFrameRoom && frames[count - 1].pieces < kPdPiecesPerFrame;
        if (!fits) {
            if (count == maxFrames)
                break;
            frames[count++] = PdFrame{};
            used = 0;
        }
        PdFrame &f = frames[count - 1];
        f.piece[f.pieces++] = pieces[i];
        used += need;
    }
    return count;
}

extern "C" int ecx_send_processdata(ecx_contextt *context)
{
    Engine *e = engineOf(context);
    if (!e)
        return 0;
    e->pdCount = 0;
    const ec_groupt &g = context->grouplist[0];
    uint8_t *image = g.outputs;
    if (!image || g.Obytes + g.Ibytes == 0)
        return 0;
    e->pdImage = image;
    e->pdInputsFrom = g.Obytes;
    const size_t frames = planPdFrames(g, e->pd.data(), e->pd.size());
    for (size_t k = 0; k < frames; ++k) {
        PdFrame &f = e->pd[k];
        Datagram d[kPdPiecesPerFrame];
        const size_t n = datagramsOf(context, f, image, e->pdInputsFrom, d);
        const int index = sendFrame(*e, d, n);
        if (index < 0)
            break;
        f.index = uint8_t(index);
        ++e->pdCount;
    }
    return e->pdCount > 0 ? 1 : 0;
}

extern "C" int ecx_receive_processdata(ecx_contextt *context, int timeout)
{
    Engine *e = engineOf(context);
    if (!e || e->pdCount == 0)
        return EC_NOFRAME;
    const int64_t deadline = nowUs() + (timeout > 0 ? timeout : 0);
    int waiting = e->pdCount;
    bool looked = false; // a reply already waiting is taken even with no time left
    while (waiting > 0) {
        const int64_t left = deadline - nowUs();
        if (left <= 0 && looked)
            break;
        looked = true;
        const int n = e->transport->receive(e->rx.data(), e->rx.size(), int(left > 0 ? left : 0));
        if (n < 0)
            break;
        if (n == 0)
            continue;
        bool matched = false;
        for (int k = 0; k < e->pdCount && !matched; ++k) {
            PdFrame &f = e->pd[size_t(k)];
            if (f.back)
                continue;
            Datagram d[kPdPiecesPerFrame];
            const size_t count = datagramsOf(context, f, e->pdImage, e->pdInputsFrom, d);
            if (acceptReply(*e, e->rx.data(), size_t(n), f.index, d, count)) {
                f.back = true;
                f.wkc = 0;
                for (size_t i = 0; i < count; ++i)
                    f.wkc = uint16_t(f.wkc + d[i].wkc);
                matched = true;
                --waiting;
            }
        }
        if (!matched)
            ++e->dropped;
    }
    int wkc = 0;
    bool any = false;
    for (int k = 0; k < e->pdCount; ++k) {
        if (e->pd[size_t(k)].back) {
            any = true;
            wkc += e->pd[size_t(k)].wkc;
        }
    }
    e->pdCount = 0;
    return any ? wkc : EC_NOFRAME;
}
