// Figures of our master (ethercat/) over a veth pair, each as a ratio against
// a bare frame round trip measured in the same run:
//   one process-data exchange (send + receive), median and 99th percentile;
//   one ecx_readstate with every slave agreeing;
//   bring-up from ecx_init to OP with the simulator, and its steps;
//   CPU time (user + system) per exchange.
// Run inside scripts/netns-run (see run.sh).
#include "bench_line.h"
#include "bring_up.h"
#include "connect_steps.h"
#include "raw_client.h"
#include "sim_process.h"

#include <soem/soem.h>

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {

constexpr int kBlock = 500;        // alternating blocks, so that load from elsewhere hits all alike
constexpr int kBareTimeoutUs = 2000;

int64_t cpuNs()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    auto ns = [](const timeval &tv) { return int64_t(tv.tv_sec) * 1000000000 + int64_t(tv.tv_usec) * 1000; };
    return ns(ru.ru_utime) + ns(ru.ru_stime);
}

void line(const std::string &figure, double value, const char *unit, double base = 0, const char *goal = "-")
{
    bench::line("master", figure, value, unit, base, goal);
}

// The median and the 99th percentile against the bare round trip's.
void againstBare(const std::string &what, const bench::Samples &s, const bench::Timings &bare)
{
    const bench::Timings t = s.summary();
    line(what + ", median", t.medianUs, "us", bare.medianUs, "within 1.5x");
    line(what + ", p99", t.p99Us, "us", bare.p99Us, "within 1.5x");
    std::printf("%s: %zu timed, %zu lost\n", what.c_str(), t.samples, t.lost);
}

// One process-data exchange with the link's receive timeout.
int exchange(ecx_contextt *c)
{
    return exchangeProcessData(c, ecat::kProcessDataTimeoutUs);
}

// The time `work` takes, or -1 when it says it failed.
template <typename F>
int64_t timed(F work)
{
    const int64_t t0 = bench::nowNs();
    return work() ? bench::nowNs() - t0 : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv); // for the helpers' QProcess
    int n = 20000;
    if (argc == 3 && std::strcmp(argv[1], "--iterations") == 0)
        n = std::atoi(argv[2]);
    if (argc == 2 || argc > 3 || n <= 0 || !testsupport::insideNamespace()) {
        std::fprintf(stderr, "usage (inside scripts/netns-run, see run.sh): %s [--iterations N]\n", argv[0]);
        return 2;
    }
    const QByteArray masterIfName = testsupport::masterInterface().toLocal8Bit();
    const char *masterIf = masterIfName.constData();
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt);
    ecx_contextt *c = ctx.get();
    static uint8_t iomap[4096];
    QString why;
    std::string error;
    bench::RawClient raw;
    if (!raw.open(masterIf, error)) {
        std::fprintf(stderr, "raw port: %s\n", error.c_str());
        return 1;
    }
    const std::vector<uint8_t> bareFrame = bench::lrwFrame(8);
    std::printf("bench/master: %d iterations per figure over %s\n", n, masterIf);

    // 1. Against the bare reflector: the master's own cost over the wire's.
    {
        testsupport::SimProcess reflector(QStringLiteral(BARE_REFLECTOR_PATH));
        if (!reflector.start({}, &why, 5000)) {
            std::fprintf(stderr, "bare reflector: %s\n", qPrintable(why));
            return 1;
        }
        std::memset(c, 0, sizeof(ecx_contextt));
        if (!ecx_init(c, masterIf))
            return 1;
        // A mapping as for a sensor and one output byte, without slaves.
        ec_groupt &g = c->grouplist[0];
        g.outputs = iomap;
        g.Obytes = 1;
        g.inputs = iomap + 1;
        g.Ibytes = 5;
        for (int i = 0; i < 200; ++i)
            exchange(c);
        bench::Samples bare, ex;
        for (int done = 0; done < n; done += kBlock) {
            const int m = std::min(kBlock, n - done);
            raw.roundTrips(bareFrame, size_t(m), 0, bare, kBareTimeoutUs);
            exchange(c); // takes the bare replies off the master's queue, untimed
            for (int i = 0; i < m; ++i)
                ex.add(timed([c] { return exchange(c) != EC_NOFRAME; }));
        }
        const bench::Timings base = bare.summary();
        line("bare round trip via reflector (baseline), median", base.medianUs, "us");
        line("bare round trip via reflector (baseline), p99", base.p99Us, "us");
        againstBare("process-data exchange via reflector", ex, base);
        ecx_close(c);
    }

    // 2. Against the simulator: bring-up, exchange, state read, CPU.
    testsupport::SimProcess sim;
    if (!sim.start({"--slaves", "sensor,dig-out"}, &why, 10000)) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(why));
        return 1;
    }
    // Where the bring-up time goes: ecx_init, then each step of bringUpBus().
    const char *const stepName[] = {"ecx_init", "config_init", "map_group", "configdc", "to SAFE-OP", "to OP"};
    bench::Samples bringUps, steps[6];
    for (int k = 0; k < 20; ++k) {
        std::memset(c, 0, sizeof(ecx_contextt));
        const int64_t start = bench::nowNs();
        int64_t mark = start;
        const auto stepDone = [&](int step) {
            const int64_t now = bench::nowNs();
            steps[step].add(now - mark);
            mark = now;
        };
        const bool opened = ecx_init(c, masterIf);
        stepDone(0);
        if (!opened || bringUpBus(c, iomap, sizeof iomap, ecat::kSafeOpTimeoutUs, ecat::kOpTimeoutUs,
                                  [&](BringUpStep s) { stepDone(1 + int(s)); }) < 0
            || c->slavelist[0].state != EC_STATE_OPERATIONAL) {
            std::fprintf(stderr, "bring-up failed (state 0x%02X)\n", c->slavelist[0].state);
            return 1;
        }
        bringUps.add(bench::nowNs() - start);
        if (k < 19)
            ecx_close(c);
    }
    for (int s = 0; s < 6; ++s)
        line(std::string("bring-up step ") + stepName[s] + ", median", steps[s].summary().medianUs / 1000.0, "ms");
    const bench::Timings up = bringUps.summary();
    line("bring-up ecx_init to OP, median", up.medianUs / 1000.0, "ms", 0, "< 50 ms");
    line("bring-up ecx_init to OP, slowest of 20", up.p99Us / 1000.0, "ms");

    for (int i = 0; i < 200; ++i)
        exchange(c);
    bench::Samples bare, ex, rs;
    int64_t cpuEx = 0, cpuBare = 0;
    for (int done = 0; done < n; done += kBlock) {
        const int m = std::min(kBlock, n - done);
        exchange(c); // keeps the outputs watchdog fed
        int64_t c0 = cpuNs();
        raw.roundTrips(bareFrame, size_t(m), 0, bare, kBareTimeoutUs);
        cpuBare += cpuNs() - c0;
        exchange(c); // takes the bare replies off the master's queue, untimed
        c0 = cpuNs();
        for (int i = 0; i < m; ++i)
            ex.add(timed([c] { return exchange(c) == 3; }));
        cpuEx += cpuNs() - c0;
        for (int i = 0; i < m; ++i) {
            exchange(c); // process data keeps flowing between the reads
            rs.add(timed([c] { return ecx_readstate(c) == EC_STATE_OPERATIONAL; }));
        }
    }
    const bench::Timings base = bare.summary();
    line("bare round trip via simulator (baseline), median", base.medianUs, "us");
    line("bare round trip via simulator (baseline), p99", base.p99Us, "us");
    againstBare("process-data exchange via simulator", ex, base);
    againstBare("ecx_readstate (all agree) via simulator", rs, base);
    line("CPU user+system per exchange", double(cpuEx) / n / 1000.0, "us", double(cpuBare) / n / 1000.0);
    c->slavelist[0].state = EC_STATE_INIT;
    ecx_writestate(c, 0);
    ecx_close(c);
    return 0;
}
