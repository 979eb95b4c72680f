// Bus cost of one connected acquisition tick (ecat_check, then ecat_read)
// over a veth pair with the simulated sensor, against a bare frame round trip
// over the same pair in the same run (a reflector that sends each frame
// straight back). Runs inside scripts/netns-run (see run.sh).
//
//   bench-tick [--ticks N]     (default 20000; at least 10000 for the figures)
#include "bench_line.h"
#include "pressure_link.h"
#include "raw_client.h"
#include "sim_process.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultTicks = 20000;
constexpr int64_t kRoundTripTimeoutUs = 100000;
constexpr uint16_t kImageBytes = 5;  // the sensor's input image

using Figures = bench::Timings;
using bench::summarize;

bool bareRoundTrips(const char *masterIf, int count, Figures &out, std::string &error)
{
    bench::RawClient client;
    if (!client.open(masterIf, error))
        return false;
    // A process-data frame of the tick's size: one LRW datagram of 5 bytes;
    // the first 200 round trips warm up.
    bench::Samples samples;
    client.roundTrips(bench::lrwFrame(kImageBytes), size_t(count), 200, samples, kRoundTripTimeoutUs);
    out = samples.summary();
    return true;
}

bool connectedTicks(const char *masterIf, int count, Figures &check, Figures &read, Figures &tick,
                    std::string &error)
{
    if (!ecat_connect(masterIf)) {
        error = "ecat_connect failed";
        return false;
    }
    std::vector<int64_t> checkNs, readNs, tickNs;
    checkNs.reserve(size_t(count));
    readNs.reserve(size_t(count));
    tickNs.reserve(size_t(count));
    size_t failedChecks = 0, failedReads = 0;
    for (int i = 0; i < count + 200; ++i) {
        int state = 0, wkc = 0, valid = 0, over = 0, under = 0;
        float pressure = 0;
        const int64_t t0 = bench::nowNs();
        const int healthy = ecat_check(&state, &wkc);
        const int64_t t1 = bench::nowNs();
        const int ok = ecat_read(&pressure, &valid, &over, &under);
        const int64_t t2 = bench::nowNs();
        if (i < 200)
            continue;
        failedChecks += healthy ? 0 : 1;
        failedReads += ok ? 0 : 1;
        checkNs.push_back(t1 - t0);
        readNs.push_back(t2 - t1);
        tickNs.push_back(t2 - t0);
    }
    ecat_disconnect();
    check = summarize(std::move(checkNs), failedChecks);
    read = summarize(std::move(readNs), failedReads);
    tick = summarize(std::move(tickNs), failedReads);
    return true;
}

// The median and the 99th percentile, against the baseline's when there is one.
void print(const std::string &what, const Figures &f, const Figures *base, const char *goal = "-")
{
    bench::line("tick", what + ", median", f.medianUs, "us", base ? base->medianUs : 0, goal);
    bench::line("tick", what + ", p99", f.p99Us, "us", base ? base->p99Us : 0);
    std::printf("%s: n=%zu, unhealthy or lost %zu\n", what.c_str(), f.samples, f.lost);
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);  // for the helpers' QProcess
    int ticks = kDefaultTicks;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--ticks") == 0 && i + 1 < argc) {
            ticks = std::atoi(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: %s [--ticks N]\n", argv[0]);
            return 2;
        }
    }
    if (ticks < 1) {
        std::fprintf(stderr, "bench-tick: --ticks needs a positive number\n");
        return 2;
    }
    if (!testsupport::insideNamespace()) {
        std::fprintf(stderr, "bench-tick: %s (bench/tick/run.sh)\n", testsupport::kNeedsNamespace);
        return 2;
    }
    const QByteArray masterIfName = testsupport::masterInterface().toLocal8Bit();
    const char *masterIf = masterIfName.constData();

    QString why;
    std::string error;
    Figures bare;
    {
        testsupport::SimProcess reflector(QStringLiteral(BARE_REFLECTOR_PATH));
        if (!reflector.start({}, &why, 10000)) {
            std::fprintf(stderr, "bench-tick: bare reflector: %s\n", qPrintable(why));
            return 1;
        }
        if (!bareRoundTrips(masterIf, ticks, bare, error)) {
            std::fprintf(stderr, "bench-tick: bare round trips: %s\n", error.c_str());
            return 1;
        }
    }

    Figures simFloor, check, read, tick;
    {
        testsupport::SimProcess sim;
        if (!sim.start({"--pressure", "1013.25"}, &why, 10000)) {
            std::fprintf(stderr, "bench-tick: %s\n", qPrintable(why));
            return 1;
        }
        // The same bare frame answered by the simulator instead of the
        // reflector: what the simulator itself adds to each exchange.
        if (!bareRoundTrips(masterIf, ticks, simFloor, error)) {
            std::fprintf(stderr, "bench-tick: round trips to the simulator: %s\n", error.c_str());
            return 1;
        }
        if (!connectedTicks(masterIf, ticks, check, read, tick, error)) {
            std::fprintf(stderr, "bench-tick: %s\n", error.c_str());
            return 1;
        }
    }

    std::printf("bench-tick: %d ticks over veth %s<->%s, after 200 warm-up ticks each\n", ticks, masterIf,
                qPrintable(testsupport::simulatorInterface()));
    print("bare round trip (reflector)", bare, nullptr);
    print("bare frame, simulator answering", simFloor, &bare);
    print("ecat_check (state read)", check, &bare);
    print("ecat_read (process data)", read, &bare);
    print("connected tick (check + read)", tick, &bare, "<= 2.5x the bare round trip");
    bench::line("tick", "connected tick against two bare frames to the simulator, median", tick.medianUs, "us",
                2 * simFloor.medianUs);
    return 0;
}
