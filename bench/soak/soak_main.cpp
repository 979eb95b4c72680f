// Soak benchmark of the pressure link against the simulated sensor: many
// connect/disconnect cycles, then an hour's worth of 10 ms ticks run as fast
// as the bus answers. Prints file descriptors, threads and resident memory of
// this process (and of the simulator) before and after each phase.
//
// Runs inside scripts/netns-run (see run.sh): the master uses
// $ECAT_MASTER_IF, the simulator $ECAT_SIM_IF.
//
//   bench-soak [--cycles N] [--ticks N]
#include "bench_line.h"
#include "pressure_link.h"
#include "proc_usage.h"
#include "sim_process.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Options {
    long cycles = 1000;
    long ticks = 360000;
    long rssNoiseKiB = 1024; // growth below this is allocator noise
};

bool parseArgs(int argc, char **argv, Options &o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--cycles" && hasValue) o.cycles = std::atol(argv[++i]);
        else if (a == "--ticks" && hasValue) o.ticks = std::atol(argv[++i]);
        else {
            std::fprintf(stderr, "usage: bench-soak [--cycles N] [--ticks N]\n");
            return false;
        }
    }
    if (!testsupport::insideNamespace()) {
        std::fprintf(stderr, "bench-soak: %s\n", testsupport::kNeedsNamespace);
        return false;
    }
    if (o.cycles < 0 || o.ticks < 0) {
        std::fprintf(stderr, "bench-soak: counts must not be negative\n");
        return false;
    }
    return true;
}

double secondsSince(int64_t t0Ns) { return double(bench::nowNs() - t0Ns) / 1e9; }

// Prints before/after/growth of one process and says whether it grew beyond noise.
bool report(const char *phase, const char *who, const bench::Usage &before, const bench::Usage &after,
            long rssNoiseKiB)
{
    const long dFd = after.fds - before.fds;
    const long dThr = after.threads - before.threads;
    const long dRss = after.rssKiB - before.rssKiB;
    std::printf("%-16s %-10s fds %ld -> %ld (%+ld)   threads %ld -> %ld (%+ld)   VmRSS %ld -> %ld KiB (%+ld)\n",
                phase, who, before.fds, after.fds, dFd, before.threads, after.threads, dThr,
                before.rssKiB, after.rssKiB, dRss);
    const std::string prefix = std::string(phase) + " " + who + " ";
    bench::line("soak", prefix + "fds after", after.fds, "fds", before.fds, "no growth");
    bench::line("soak", prefix + "threads after", after.threads, "threads", before.threads, "no growth");
    bench::line("soak", prefix + "VmRSS after", after.rssKiB, "KiB", before.rssKiB, "growth < 1 MiB");
    return dFd <= 0 && dThr <= 0 && dRss < rssNoiseKiB;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);  // for the simulator's QProcess
    Options o;
    if (!parseArgs(argc, argv, o))
        return 2;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QByteArray masterIfName = testsupport::masterInterface().toLocal8Bit();
    const char *masterIf = masterIfName.constData();

    testsupport::SimProcess sim;
    QString error;
    if (!sim.start({}, &error, 10000)) {
        std::fprintf(stderr, "bench-soak: %s\n", qPrintable(error));
        return 1;
    }

    // One warm-up cycle first: the first connect loads and caches what the
    // capture library keeps for the process's lifetime, which is not a leak.
    if (!ecat_connect(masterIf)) {
        std::fprintf(stderr, "bench-soak: the first connect on %s failed\n", masterIf);
        return 1;
    }
    ecat_disconnect();

    bool clean = true;

    // Phase 1: connect/disconnect cycles.
    const bench::Usage c0 = bench::readUsage();
    const bench::Usage s0 = bench::readUsage(pid_t(sim.pid()));
    long failedConnects = 0;
    int64_t t0 = bench::nowNs();
    for (long i = 0; i < o.cycles; ++i) {
        if (!ecat_connect(masterIf))
            ++failedConnects;
        ecat_disconnect();
    }
    const double cycleSeconds = secondsSince(t0);
    const bench::Usage c1 = bench::readUsage();
    const bench::Usage s1 = bench::readUsage(pid_t(sim.pid()));
    std::printf("connect/disconnect: %ld cycles in %.2f s (%.2f ms per cycle), %ld connects failed\n",
                o.cycles, cycleSeconds, o.cycles ? 1000.0 * cycleSeconds / o.cycles : 0.0,
                failedConnects);
    clean &= report("connect-cycles", "master", c0, c1, o.rssNoiseKiB);
    clean &= report("connect-cycles", "simulator", s0, s1, o.rssNoiseKiB);
    bench::line("soak", "connect-cycles ms per cycle", o.cycles ? 1000.0 * cycleSeconds / o.cycles : 0.0, "ms");
    bench::line("soak", "connect-cycles failed connects", failedConnects, "connects", 0, "0");

    // Phase 2: ticks (ecat_check then ecat_read, as the window's tick does).
    if (!ecat_connect(masterIf)) {
        std::fprintf(stderr, "bench-soak: connect before the ticks failed\n");
        return 1;
    }
    int state = 0, wkc = 0;
    float pressure = 0;
    int valid = 0, over = 0, under = 0;
    // A few ticks so that the bus is in OP and every buffer of the exchange exists.
    for (int i = 0; i < 100; ++i) {
        ecat_check(&state, &wkc);
        ecat_read(&pressure, &valid, &over, &under);
    }
    const bench::Usage t0u = bench::readUsage();
    const bench::Usage t0s = bench::readUsage(pid_t(sim.pid()));
    long readFailures = 0, unhealthy = 0, invalid = 0;
    t0 = bench::nowNs();
    for (long i = 0; i < o.ticks; ++i) {
        if (!ecat_check(&state, &wkc))
            ++unhealthy;
        if (!ecat_read(&pressure, &valid, &over, &under))
            ++readFailures;
        else if (!valid)
            ++invalid;
    }
    const double tickSeconds = secondsSince(t0);
    const bench::Usage t1u = bench::readUsage();
    const bench::Usage t1s = bench::readUsage(pid_t(sim.pid()));
    ecat_disconnect();
    const double usPerTick = o.ticks ? 1e6 * tickSeconds / o.ticks : 0.0;
    std::printf("ticks: %ld in %.2f s (%.1f us per tick: ecat_check + ecat_read), %ld reads failed,"
                " %ld checks unhealthy, %ld invalid readings, last pressure %.2f mbar\n",
                o.ticks, tickSeconds, usPerTick, readFailures, unhealthy, invalid,
                static_cast<double>(pressure) / 100.0);
    clean &= report("ticks", "master", t0u, t1u, o.rssNoiseKiB);
    clean &= report("ticks", "simulator", t0s, t1s, o.rssNoiseKiB);
    // The tick's budget is the window's 10 ms period.
    bench::line("soak", "ticks us per tick", usPerTick, "us", 10000, "well below the 10 ms tick");
    bench::line("soak", "ticks failed reads", readFailures, "reads", 0, "0");

    const int simStatus = sim.stop();
    if (simStatus != 0)
        std::printf("simulator ended with exit code %d\n", simStatus);

    std::printf("soak: %s\n", clean ? "no growth beyond noise" : "GROWTH beyond noise (see above)");
    // Reads that found no frame within the link's 2 ms are counted and shown,
    // not failed on: on a loaded machine a late reply is noise, not a leak.
    return clean && failedConnects == 0 ? 0 : 1;
}
