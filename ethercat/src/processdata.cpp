// Cyclic process data: one LRW of the group 0 image, split across frames
// only when it does not fit one.
#include "clock.h"
#include "txrx.h"

#include <algorithm>

using namespace ecmaster;

namespace {

Datagram lrw(ecx_contextt *c, const PdFrame &f, uint8_t *image, uint32_t inputsFrom)
{
    Datagram d;
    d.command = ecwire::Command::LRW;
    d.address = c->grouplist[0].logstartaddr + f.offset;
    d.data = image + f.offset;
    d.length = f.length;
    // Bytes of the frame that are outputs are never written back: the
    // caller may already be filling in the next cycle's outputs.
    d.keep = uint16_t(inputsFrom > f.offset ? std::min<uint32_t>(inputsFrom - f.offset, f.length) : 0);
    return d;
}

} // namespace

extern "C" int ecx_send_processdata(ecx_contextt *context)
{
    Engine *e = engineOf(context);
    if (!e)
        return 0;
    e->pdCount = 0;
    const ec_groupt &g = context->grouplist[0];
    const uint32_t total = g.Obytes + g.Ibytes;
    uint8_t *image = g.outputs;
    if (!image || total == 0)
        return 0;
    e->pdImage = image;
    e->pdInputsFrom = g.Obytes;
    for (uint32_t off = 0; off < total; off += uint32_t(ecwire::dgram::MaxData)) {
        if (e->pdCount == EC_MAXPDFRAMES)
            break; // larger images are not exchanged beyond this
        PdFrame &f = e->pd[size_t(e->pdCount)];
        f = PdFrame{};
        f.offset = off;
        f.length = uint16_t(std::min<uint32_t>(total - off, uint32_t(ecwire::dgram::MaxData)));
        Datagram d = lrw(context, f, image, e->pdInputsFrom);
        const int index = sendFrame(*e, &d, 1);
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
            Datagram d = lrw(context, f, e->pdImage, e->pdInputsFrom);
            if (acceptReply(*e, e->rx.data(), size_t(n), f.index, &d, 1)) {
                f.back = true;
                f.wkc = d.wkc;
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
