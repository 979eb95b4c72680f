// What publishing costs the logger, on the simulated sensor with a real
// broker (mosquitto on 127.0.0.1) in a private network namespace:
//  1. its CPU share of one core connected and publishing, against the same
//     logger without --mqtt, in turns (all its threads, from
//     /proc/PID/task/*/schedstat), and the share publishing adds;
//  2. its memory (VmRSS) through a broker outage, against its own at the
//     start of the outage: the records wait in the outbox meanwhile.
//
//   bench-mqtt [--seconds S] [--rounds N] [--outage-seconds T]
//   (defaults 20, 2 and 120; --outage-seconds 600 for the ten-minute figure)
#include "bench_line.h"
#include "broker.h"
#include "logger_process.h"
#include "netns.h"
#include "proc_usage.h"
#include "sim_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QtCore/qtestsupport_core.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

// CPU time of every thread of `pid` so far, in nanoseconds.
double cpuNs(qint64 pid)
{
    double sum = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream in(tasks.filePath(task + QStringLiteral("/schedstat")).toStdString());
        double ns = 0;
        if (in >> ns)
            sum += ns;
    }
    return sum;
}

bool startLogger(loggertest::LoggerProcess &logger, const QString &dir, const QStringList &extra)
{
    QString why;
    if (!logger.start(QStringList{"-q", "-o", dir} + extra + QStringList{testsupport::masterInterface()}, &why)
        || logger.waitForEvent(QStringLiteral("logging "), 20000).isEmpty()) {
        std::fprintf(stderr, "bench-mqtt: the logger did not start: %s %s\n", qPrintable(why),
                     qPrintable(logger.eventText()));
        return false;
    }
    QTest::qWait(3000);   // past the bring-up and the first connect
    return true;
}

// The logger's CPU share of one core over `seconds`, in percent.
double cpuShare(const QString &dir, const QStringList &extra, int seconds)
{
    loggertest::LoggerProcess logger;
    if (!startLogger(logger, dir, extra))
        return -1;
    const qint64 pid = logger.process().processId();
    const double t0 = cpuNs(pid);
    const int64_t w0 = bench::nowNs();
    QTest::qWait(seconds * 1000);
    const double share = 100.0 * (cpuNs(pid) - t0) / double(bench::nowNs() - w0);
    logger.signal(SIGTERM);
    logger.waitForExit(10000);
    return share;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int seconds = 20, rounds = 2, outageSeconds = 120;
    for (int i = 1; i + 1 < argc; i += 2) {
        int *target = std::strcmp(argv[i], "--seconds") == 0 ? &seconds
                    : std::strcmp(argv[i], "--rounds") == 0 ? &rounds
                    : std::strcmp(argv[i], "--outage-seconds") == 0 ? &outageSeconds
                                                                    : nullptr;
        if (!target || (*target = std::atoi(argv[i + 1])) < 1) {
            std::fprintf(stderr, "usage: %s [--seconds S] [--rounds N] [--outage-seconds T]\n", argv[0]);
            return 2;
        }
    }
    if (argc % 2 == 0 || !testsupport::insideNamespace()) {
        std::fprintf(stderr, "bench-mqtt: %s (bench/mqtt/run.sh)\n", testsupport::kNeedsNamespace);
        return 2;
    }
    QString why;
    testsupport::SimProcess sim;
    testsupport::Broker broker;
    if (!sim.start({"--profile", "sine", "1000", "400", "7"}, &why) || !broker.start({}, &why)) {
        std::fprintf(stderr, "bench-mqtt: %s\n", qPrintable(why));
        return 1;
    }
    QTemporaryDir dir;
    const QStringList mqtt = broker.loggerOptions();

    double plain = 0, publishing = 0;
    for (int r = 0; r < rounds; ++r) {
        const double a = cpuShare(dir.path(), {}, seconds);
        const double b = cpuShare(dir.path(), mqtt, seconds);
        if (a < 0 || b < 0)
            return 1;
        std::printf("round %d: %.3f%% without, %.3f%% publishing\n", r + 1, a, b);
        plain += a / rounds;
        publishing += b / rounds;
    }
    bench::line("mqtt", "CPU share of one core, logger without --mqtt", plain, "%", 0, "-");
    bench::line("mqtt", "CPU share of one core, logger publishing (connected)", publishing, "%", plain, "<= 1.1x");
    // The logger's own tick costs what it costs; publishing's part of it:
    bench::line("mqtt", "CPU share of one core that publishing adds", publishing - plain, "%", 0, "< 0.5%");

    loggertest::LoggerProcess logger;
    if (!startLogger(logger, dir.path(), mqtt))
        return 1;
    const qint64 pid = logger.process().processId();
    broker.stop();
    QTest::qWait(5000);   // the client has noticed, the first records wait
    const long before = bench::readUsage(pid_t(pid)).rssKiB;
    QTest::qWait(outageSeconds * 1000);
    const long after = bench::readUsage(pid_t(pid)).rssKiB;
    if (!broker.restart(&why) || logger.waitForEvent(QStringLiteral("go out now"), 60000).isEmpty()) {
        std::fprintf(stderr, "bench-mqtt: after the outage: %s %s\n", qPrintable(why), qPrintable(logger.eventText()));
        return 1;
    }
    std::printf("outage of %d s: VmRSS %ld KiB at its start, %ld KiB at its end (%.0f bytes per record waiting); %s\n",
                outageSeconds, before, after, double(after - before) * 1024.0 / outageSeconds,
                qPrintable(logger.waitForEvent(QStringLiteral("go out now"), 0)));
    bench::line("mqtt", QStringLiteral("VmRSS after a %1 s broker outage").arg(outageSeconds).toStdString(),
                double(after), "KiB", double(before), "flat: <= 1.05x");
    logger.signal(SIGTERM);
    logger.waitForExit(10000);
    return 0;
}
