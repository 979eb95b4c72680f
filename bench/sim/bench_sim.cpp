// bench-sim: what the simulator adds to a frame's round trip. In one run, inside a private
// namespace (bench/sim/run.sh): the bare reflector's round trip over the veth pair (the floor),
// the simulator's round trip for a BRD and for the LRW of the sensor's inputs, and the
// simulator's in-process cost per frame (Bus::handleFrame alone).
#include "bench_line.h"
#include "raw_client.h"
#include "sim_process.h"

#include <ecprobe/bringup.h>
#include <ecsim/bus.h>
#include <ecwire/frame.h>
#include <ecwire/registers.h>

#include <QCoreApplication>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int64_t kTimeoutUs = 100'000;

// Nanoseconds per Bus::handleFrame call for `frame`, over `n` calls.
double inProcessNs(ecsim::Bus &bus, const std::vector<uint8_t> &frame, size_t n)
{
    std::vector<uint8_t> reply;
    for (size_t i = 0; i < 1000; ++i)
        bus.handleFrame(frame.data(), frame.size(), reply);
    const int64_t t0 = bench::nowNs();
    for (size_t i = 0; i < n; ++i)
        bus.handleFrame(frame.data(), frame.size(), reply);
    return static_cast<double>(bench::nowNs() - t0) / static_cast<double>(n);
}

void line(const std::string &figure, double value, const char *unit, double base = 0, const char *goal = "-")
{
    bench::line("sim", figure, value, unit, base, goal);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // for the helpers' QProcess
    size_t n = 20000;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--frames" && i + 1 < argc) {
            n = std::strtoul(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--frames N]   (run it through bench/sim/run.sh)\n", argv[0]);
            return 2;
        }
    }
    n = std::max<size_t>(n, 100);
    if (!testsupport::insideNamespace()) {
        std::fprintf(stderr, "bench-sim: %s (bench/sim/run.sh)\n", testsupport::kNeedsNamespace);
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    bench::RawClient client;
    std::string error;
    if (!client.open(testsupport::masterInterface().toStdString(), error)) {
        std::fprintf(stderr, "bench-sim: %s\n", error.c_str());
        return 1;
    }
    // The bare reflector and the simulator take turns on the pair, a quarter of the frames
    // at a time, so that a slow moment of this shared machine does not favour either.
    constexpr size_t kRounds = 4;
    const size_t perRound = (n + kRounds - 1) / kRounds;
    const size_t warmup = std::max<size_t>(200, perRound / 10);
    bench::Samples bareS, brdS, lrwS, upS;
    size_t bringUpFrames = 0;
    ecprobe::BringUp wire;
    uint16_t lrwBytes = 5;
    std::vector<uint8_t> lrw = bench::lrwFrame(lrwBytes);
    int lastWkc = -1;
    QString why;
    for (size_t round = 0; round < kRounds; ++round) {
        {
            // The floor: the bare reflector.
            testsupport::SimProcess reflector(QStringLiteral(BARE_REFLECTOR_PATH));
            if (!reflector.start({}, &why, 10000)) {
                std::fprintf(stderr, "bench-sim: the bare reflector: %s\n", qPrintable(why));
                return 1;
            }
            client.roundTrips(bench::brdFrame(), perRound, warmup, bareS, kTimeoutUs);
        }
        // The simulator over the same pair: a BRD, the bring-up of the sensor, and the LRW of
        // its process data in OP.
        testsupport::SimProcess sim;
        if (!sim.start({"--slaves", "sensor", "--pressure", "1013.25"}, &why, 10000)) {
            std::fprintf(stderr, "bench-sim: %s\n", qPrintable(why));
            return 1;
        }
        client.roundTrips(bench::brdFrame(), perRound, warmup, brdS, kTimeoutUs);
        size_t frames = 0;
        ecprobe::Probe probe(
            [&client, &frames](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) {
                ++frames;
                return client.roundTrip(f, r, kTimeoutUs) >= 0;
            },
            ecprobe::monotonicClock());
        probe.pollNs = 0; // poll frame after frame, as a master in a hurry does
        const int64_t t0 = bench::nowNs();
        wire = ecprobe::bringUpBus(probe, ecwire::al::Op);
        upS.add(wire.ok ? bench::nowNs() - t0 : -1);
        if (wire.ok) {
            bringUpFrames = frames;
            lrwBytes = static_cast<uint16_t>(wire.outputBytes + wire.inputBytes);
            lrw = bench::lrwFrame(lrwBytes);
        } else if (round == 0) {
            std::fprintf(stderr, "bench-sim: bring-up over the wire failed (%s); the LRW below maps nothing\n",
                         wire.error.c_str());
        }
        client.roundTrips(lrw, perRound, warmup, lrwS, kTimeoutUs);
        std::vector<uint8_t> reply;
        ecwire::ParsedFrame parsed;
        if (client.roundTrip(lrw, reply, kTimeoutUs) >= 0 &&
            ecwire::parseFrame(reply.data(), reply.size(), parsed) == ecwire::ParseError::None)
            lastWkc = parsed.datagrams[0].wkc;
    }
    const bench::Timings bare = bareS.summary(), simBrd = brdS.summary(), simLrw = lrwS.summary();
    const bench::Timings up = upS.summary();

    // The same frames through the slave model alone, in this process, on a clock of its own.
    std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create("sensor", &error);
    if (!bus) {
        std::fprintf(stderr, "bench-sim: %s\n", error.c_str());
        return 1;
    }
    uint64_t virtualNs = 1'000'000'000;
    bus->setClock([&virtualNs] { return virtualNs; });
    bus->command("pressure 1013.25");
    ecprobe::Probe local(
        [&bus](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) { return bus->handleFrame(f.data(), f.size(), r); },
        ecprobe::Clock{[&virtualNs] { return virtualNs; }, [&virtualNs](uint64_t ns) { virtualNs += ns; }});
    const bool localUp = ecprobe::bringUpBus(local, ecwire::al::Op).ok;
    const size_t calls = std::max<size_t>(n * 10, 100000);
    const double brdNs = inProcessNs(*bus, bench::brdFrame(), calls);
    const double lrwNs = inProcessNs(*bus, lrw, calls);

    std::printf("bench-sim: 60-byte frames, one at a time, over %s <-> %s, %zu rounds taking turns; "
                "round trips N=%zu/%zu/%zu, lost %zu/%zu/%zu (bare/BRD/LRW); the LRW of %zu bytes had "
                "WKC %d of %u; bring-up %zu frames (%zu of %zu failed); in-process %zu calls each%s\n",
                qPrintable(testsupport::masterInterface()), qPrintable(testsupport::simulatorInterface()),
                kRounds, bare.samples, simBrd.samples, simLrw.samples, bare.lost, simBrd.lost, simLrw.lost,
                size_t(lrwBytes), lastWkc, unsigned(wire.expectedLrwWkc), bringUpFrames, up.lost, kRounds, calls,
                localUp ? ", slave in OP" : ", bring-up failed");
    // The floor of a bring-up is as many bare round trips as it takes frames.
    const double upBaseMs = bare.medianUs * static_cast<double>(bringUpFrames) / 1000.0;
    line("bare round trip (reflector), median", bare.medianUs, "us");
    line("bare round trip (reflector), p99", bare.p99Us, "us");
    line("BRD round trip median", simBrd.medianUs, "us", bare.medianUs, "bare + 5 us");
    line("LRW round trip median", simLrw.medianUs, "us", bare.medianUs, "bare + 5 us");
    line("LRW round trip p99", simLrw.p99Us, "us", bare.p99Us);
    line("added to an LRW by the simulator, median", simLrw.medianUs - bare.medianUs, "us", 0, "< 5 us");
    line("bring-up to OP over the wire", up.medianUs / 1000.0, "ms", upBaseMs, "< 50 ms");
    line("handleFrame BRD in-process", brdNs / 1000.0, "us");
    line("handleFrame LRW in-process", lrwNs / 1000.0, "us");
    return 0;
}
