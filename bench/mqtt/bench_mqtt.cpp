// What publishing costs the logger, on the simulated sensor with a real
// broker (mosquitto on 127.0.0.1) in a private network namespace: its CPU
// share of one core connected and publishing against the same logger without
// --mqtt, in turns (all its threads, /proc/PID/task/*/schedstat); and its
// memory (VmRSS) at the end of a broker outage against the outage's start.
//
//   bench-mqtt [SECONDS [ROUNDS [OUTAGE_SECONDS]]]   (20 2 120; 600 for ten minutes)
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
#include <cstdlib>
#include <fstream>

namespace {

double cpuNs(qint64 pid)
{
    double sum = 0, ns = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        sum += std::ifstream(tasks.filePath(task + QStringLiteral("/schedstat")).toStdString()) >> ns ? ns : 0;
    return sum;
}

// The logger past its bring-up and first connect; its pid, 0 when it did not start.
qint64 start(loggertest::LoggerProcess &logger, const QStringList &args)
{
    QString why;
    if (!logger.startLogging(args, &why)) {
        std::fprintf(stderr, "bench-mqtt: %s\n", qPrintable(why));
        return 0;
    }
    QTest::qWait(3000);
    return logger.process().processId();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20, rounds = argc > 2 ? std::atoi(argv[2]) : 2,
              outage = argc > 3 ? std::atoi(argv[3]) : 120;
    if (seconds < 1 || rounds < 1 || outage < 1 || !testsupport::insideNamespace()) {
        std::fprintf(stderr, "usage (in scripts/netns-run): %s [SECONDS [ROUNDS [OUTAGE_SECONDS]]]\n", argv[0]);
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
    const QStringList plainArgs{"-q", "-o", dir.path()}, mqttArgs = plainArgs + broker.loggerOptions();
    double share[2] = {0, 0};   // without, publishing
    for (int r = 0; r < 2 * rounds; ++r) {
        loggertest::LoggerProcess logger;
        const qint64 pid = start(logger, r % 2 ? mqttArgs : plainArgs);
        const double t0 = cpuNs(pid), w0 = double(bench::nowNs());
        QTest::qWait(seconds * 1000);
        share[r % 2] += 100.0 * (cpuNs(pid) - t0) / (double(bench::nowNs()) - w0) / rounds;
        logger.signal(SIGTERM);
        if (!pid || logger.waitForExit(10000) != 0)
            return 1;
    }
    bench::line("mqtt", "CPU share of one core, logger without --mqtt", share[0], "%");
    bench::line("mqtt", "CPU share of one core, logger publishing (connected)", share[1], "%", share[0], "<= 1.1x");
    bench::line("mqtt", "CPU share of one core that publishing adds", share[1] - share[0], "%", 0, "< 0.5%");

    // Each waiting message keeps the client library's bookkeeping in memory
    // (the message itself is on disk): the bound of the outbox bounds it.
    loggertest::LoggerProcess logger;
    const qint64 pid = start(logger, mqttArgs);
    broker.stop();
    QTest::qWait(5000);   // the client has noticed, the first records wait
    const long before = bench::readUsage(pid_t(pid)).rssKiB;
    QTest::qWait(outage * 1000);
    const long after = bench::readUsage(pid_t(pid)).rssKiB;
    if (!pid || !broker.restart(&why) || logger.waitForEvent(QStringLiteral("out now"), 60000).isEmpty()) {
        std::fprintf(stderr, "bench-mqtt: after the outage: %s %s\n", qPrintable(why), qPrintable(logger.eventText()));
        return 1;
    }
    std::printf("%s\n%.0f bytes of memory per record waiting\n", qPrintable(logger.waitForEvent("out now", 0)),
                double(after - before) * 1024.0 / outage);
    bench::line("mqtt", QStringLiteral("VmRSS after a %1 s broker outage").arg(outage).toStdString(), double(after),
                "KiB", double(before), "flat: <= 1.05x");
    logger.signal(SIGTERM);
    return logger.waitForExit(10000) == 0 ? 0 : 1;
}
