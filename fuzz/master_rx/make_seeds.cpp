// Seed program for the master receive-path target: the replies the slave
// model gave to a real bring-up of three slaves, and to each call the target
// makes on a bus in OP, written in the target's script format.
#include "chunks.h"
#include "master_fixture.h"
#include "reply_script.h"
#include "seed_writer.h"
#include "stepped_bring_up.h"

#include <cstdio>

namespace {

std::vector<uint8_t> script(uint8_t call, uint8_t indexMode, const std::vector<SimTransport::Exchange> &log)
{
    std::vector<uint8_t> out{call, indexMode};
    for (const SimTransport::Exchange &x : log)
        fuzzchunks::append(out, x.reply);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    bool ok = true;
    for (const char *slaves : {"sensor,dig-out,dig-in", "sensor-sii"}) {
        MasterOnSim m(slaves);
        if (!m.sim.ok()) {
            std::fprintf(stderr, "bus %s: the model does not take it\n", slaves);
            return 1;
        }
        if (fuzzbus::steppedBringUp(m, true) <= 0) {
            std::fprintf(stderr, "bus %s: bring-up failed\n", slaves);
            return 1;
        }
        std::vector<SimTransport::Exchange> &log = m.sim.log;
        const std::string tag = std::string(slaves).find(',') != std::string::npos ? "three" : "sii";
        ok &= fuzzseeds::write("bringup-" + tag, script(5, 0, log));
        std::fprintf(stderr, "bus %s: bring-up took %zu frames\n", slaves, log.size());
        if (tag != "three")
            continue;

        // Each call of the target on the bus in OP.
        ecx_contextt *ctx = m.c();
        log.clear();
        m.exchange();
        ok &= fuzzseeds::write("processdata", script(0, 0, log));
        ok &= fuzzseeds::write("processdata-wrong-index", script(0, 2, log));
        // A stale copy ahead of the real reply.
        std::vector<uint8_t> stale{0, 0};
        fuzzchunks::append(stale, log.back().reply, fuzzscript::kSameAnswer);
        fuzzchunks::append(stale, log.back().reply);
        ok &= fuzzseeds::write("processdata-two-frames", stale);

        log.clear();
        ecx_readstate(ctx);
        ok &= fuzzseeds::write("readstate", script(1, 0, log));
        log.clear();
        ecx_statecheck(ctx, 1, EC_STATE_OPERATIONAL, 100);
        ok &= fuzzseeds::write("statecheck", script(2, 0, log));
        log.clear();
        ecx_configdc(ctx);
        ok &= fuzzseeds::write("configdc", script(3, 0, log));
        log.clear();
        ctx->slavelist[0].state = EC_STATE_INIT;
        ecx_writestate(ctx, 0);
        ok &= fuzzseeds::write("writestate", script(4, 0, log));
    }
    return ok ? 0 : 1;
}
