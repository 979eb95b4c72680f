// Seed program for the simulator target: the frames a master sends while it
// brings three slaves up (fresh bus), and the frames of a bus in OP: process
// data, state reads and checks, distributed-clock set-up, a state change.
#include "bus_transport.h"
#include "seed_writer.h"

#include <cstdio>
#include <cstring>

namespace {

std::vector<uint8_t> frames(uint8_t start, uint8_t fault, const std::vector<fuzzbus::Exchange> &log,
                            size_t from = 0, size_t count = SIZE_MAX)
{
    std::vector<uint8_t> out{start, fault};
    for (size_t i = from; i < log.size() && i - from < count; ++i) {
        const std::vector<uint8_t> &f = log[i].request;
        out.push_back(static_cast<uint8_t>(f.size()));
        out.push_back(static_cast<uint8_t>(f.size() >> 8));
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create("sensor,dig-out,dig-in");
    if (!bus)
        return 1;
    bus->setClock(fuzzbus::steppingClock());
    fuzzbus::BusTransport t(*bus);
    ecx_contextt ctx;
    std::memset(&ctx, 0, sizeof ctx);
    static uint8_t iomap[4096];
    ecx_init_transport(&ctx, &t);
    if (fuzzbus::bringUp(&ctx, iomap, sizeof iomap) <= 0)
        return 1;
    bool ok = true;
    // The bring-up in pieces, each from a fresh bus: enumeration and SII,
    // then the rest (mailbox, CoE, mapping) from where the pieces leave it.
    const size_t n = t.log.size();
    ok &= fuzzseeds::write("fresh-bringup-start", frames(0, 0, t.log, 0, 40));
    ok &= fuzzseeds::write("fresh-bringup-whole", frames(0, 0, t.log));
    ok &= fuzzseeds::write("fresh-bringup-last-part", frames(0, 0, t.log, n > 60 ? n - 60 : 0));

    t.log.clear();
    for (int i = 0; i < 3; ++i) {
        ecx_send_processdata(&ctx);
        ecx_receive_processdata(&ctx, 2000);
    }
    ecx_readstate(&ctx);
    ok &= fuzzseeds::write("op-processdata", frames(1, 0, t.log));
    ok &= fuzzseeds::write("op-processdata-refuse-op", frames(1, 1, t.log));
    ok &= fuzzseeds::write("op-processdata-short-image", frames(1, 5, t.log));
    const std::vector<fuzzbus::Exchange> pdLog = t.log;
    t.log.clear();
    ecx_configdc(&ctx);
    ok &= fuzzseeds::write("op-configdc", frames(1, 0, t.log));
    t.log.clear();
    ctx.slavelist[0].state = EC_STATE_INIT;
    ecx_writestate(&ctx, 0);
    ecx_statecheck(&ctx, 0, EC_STATE_INIT, 50000);
    ok &= fuzzseeds::write("op-to-init", frames(1, 2, t.log));
    ecx_close(&ctx);

    // Control lines ahead of a process-data frame of the bus in OP.
    for (const char *line : {"profile ramp 1000 10 60", "slave 1 invalid 3", "error-state 0x14 0x001E",
                             "image 07ffff7f7f", "stats"}) {
        std::vector<uint8_t> seed{1, 0x80, static_cast<uint8_t>(std::strlen(line)), 0};
        seed.insert(seed.end(), line, line + std::strlen(line));
        const std::vector<uint8_t> pd = frames(1, 0, pdLog);
        seed.insert(seed.end(), pd.begin() + 2, pd.end());
        const std::string word(line, std::strcspn(line, " "));
        ok &= fuzzseeds::write("op-command-" + word, seed);
    }
    return ok ? 0 : 1;
}
