// Seed program for the master receive-path target: the replies the slave
// model gave to a real bring-up of three slaves, and to each call the target
// makes on a bus in OP, written in the target's script format.
#include "bus_transport.h"
#include "seed_writer.h"

#include <cstdio>
#include <cstring>

namespace {

void appendFrame(std::vector<uint8_t> &out, const std::vector<uint8_t> &frame, bool sameAnswer = false)
{
    const uint16_t head = static_cast<uint16_t>(frame.size() | (sameAnswer ? 0x8000 : 0));
    out.push_back(static_cast<uint8_t>(head));
    out.push_back(static_cast<uint8_t>(head >> 8));
    out.insert(out.end(), frame.begin(), frame.end());
}

std::vector<uint8_t> script(uint8_t call, uint8_t indexMode, const std::vector<fuzzbus::Exchange> &log)
{
    std::vector<uint8_t> out{call, indexMode};
    for (const fuzzbus::Exchange &x : log)
        appendFrame(out, x.reply);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    bool ok = true;
    for (const char *slaves : {"sensor,dig-out,dig-in", "sensor-sii"}) {
        std::string error;
        std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create(slaves, &error);
        if (!bus) {
            std::fprintf(stderr, "bus %s: %s\n", slaves, error.c_str());
            return 1;
        }
        bus->setClock(fuzzbus::steppingClock());
        fuzzbus::BusTransport t(*bus);
        ecx_contextt ctx;
        std::memset(&ctx, 0, sizeof ctx);
        static uint8_t iomap[4096];
        ecx_init_transport(&ctx, &t);
        if (fuzzbus::bringUp(&ctx, iomap, sizeof iomap) <= 0) {
            std::fprintf(stderr, "bus %s: bring-up failed\n", slaves);
            return 1;
        }
        const std::string tag = std::string(slaves).find(',') != std::string::npos ? "three" : "sii";
        ok &= fuzzseeds::write("bringup-" + tag, script(5, 0, t.log));
        std::fprintf(stderr, "bus %s: bring-up took %zu frames\n", slaves, t.log.size());
        if (tag != "three") {
            ecx_close(&ctx);
            continue;
        }

        // Each call of the target on the bus in OP.
        t.log.clear();
        ecx_send_processdata(&ctx);
        ecx_receive_processdata(&ctx, 2000);
        ok &= fuzzseeds::write("processdata", script(0, 0, t.log));
        ok &= fuzzseeds::write("processdata-wrong-index", script(0, 2, t.log));
        // A stale copy ahead of the real reply.
        std::vector<uint8_t> stale{0, 0};
        appendFrame(stale, t.log.back().reply, true);
        appendFrame(stale, t.log.back().reply);
        stale[1] = 0;
        ok &= fuzzseeds::write("processdata-two-frames", stale);

        t.log.clear();
        ecx_readstate(&ctx);
        ok &= fuzzseeds::write("readstate", script(1, 0, t.log));
        t.log.clear();
        ecx_statecheck(&ctx, 1, EC_STATE_OPERATIONAL, 100);
        ok &= fuzzseeds::write("statecheck", script(2, 0, t.log));
        t.log.clear();
        ecx_configdc(&ctx);
        ok &= fuzzseeds::write("configdc", script(3, 0, t.log));
        t.log.clear();
        ctx.slavelist[0].state = EC_STATE_INIT;
        ecx_writestate(&ctx, 0);
        ok &= fuzzseeds::write("writestate", script(4, 0, t.log));
        ecx_close(&ctx);
    }
    return ok ? 0 : 1;
}
