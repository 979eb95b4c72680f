// End to end, in the private network namespace of scripts/netns-run: the
// simulated sensor pumps down and then rises as a leak does; pressure-logger
// logs it; the viewer follows the logger's run file while it is written
// (new records show without reopening it, the axis turns logarithmic as the
// pump-down crosses the decades) and its rate-of-rise test, in the window
// and on the command line, finds the leak the sensor was given.
#include "followed_run.h"
#include "netns.h"
#include "pressure_chart.h"
#include "record_check.h"
#include "rise_panel.h"
#include "sim_process.h"
#include "viewer_window.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>

using namespace viewer;

namespace {

constexpr double kPumpDownSeconds = 20.0;
constexpr double kLeakRate = 2e-4;      // mbar/s
constexpr int kRiseRecords = 25;        // records of the rise to test
constexpr double kVolumeLitres = 10.0;

// The time of the lowest reading once the pump-down reached its end point
// (1e-3 mbar) and the rise began; -1 before.
double endOfPumpDown(const QList<QPointF> &points)
{
    const auto lowest = std::min_element(points.cbegin(), points.cend(),
                                         [](const QPointF &a, const QPointF &b) { return a.y() < b.y(); });
    if (lowest == points.cend() || lowest->y() > 1.3e-3 || points.constLast().y() <= lowest->y())
        return -1.0;
    return lowest->x();
}

} // namespace

class TestViewerLogger : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!testsupport::insideNamespace())
            QSKIP(testsupport::kNeedsNamespace);
        QStandardPaths::setTestModeEnabled(true);
    }

    void followsTheLoggersRunThroughAPumpDownAndALeak()
    {
        testsupport::SimProcess sim;
        QString why;
        QVERIFY2(sim.start({QStringLiteral("--profile"), QStringLiteral("leak"), QString::number(kPumpDownSeconds),
                            QString::number(kLeakRate)},
                           &why),
                 qPrintable(why));
        QTemporaryDir dir;
        QProcess logger;
        logger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        logger.start(QStringLiteral(LOGGER_EXE), {QStringLiteral("-q"), QStringLiteral("-o"), dir.path(),
                                                  testsupport::masterInterface()});
        QVERIFY(logger.waitForStarted(10000));
        QString run;
        QVERIFY2(QTest::qWaitFor([&] {
                     const QStringList runs = testsupport::runCsvFiles(QDir(dir.path()));
                     run = runs.isEmpty() ? QString() : dir.filePath(runs.constFirst());
                     return !run.isEmpty() && testsupport::lineCount(run) >= 2;
                 }, 20000),
                 "the logger wrote no run file with two records");

        // The viewer opens the run file while the logger writes it.
        ViewerWindow window;
        window.resize(1200, 680);
        window.risePanel()->setVolume(kVolumeLitres);
        QVERIFY2(window.openRun(run, false, &why), qPrintable(why));
        window.show();
        FollowedRun *followed = window.runs().constFirst();
        const qsizetype atOpen = followed->points().size();
        QVERIFY(QTest::qWaitFor([&] { return followed->points().size() >= atOpen + 3; }, 10000));
        QVERIFY2(QTest::qWaitFor([&] { return endOfPumpDown(followed->points()) >= 0.0; }, 60000),
                 "the pump-down never reached its end point");
        window.chart()->redrawNow();
        QVERIFY(window.chart()->logarithmic());
        const double end = endOfPumpDown(followed->points());
        QVERIFY(QTest::qWaitFor([&] { return followed->points().constLast().x() >= end + kRiseRecords + 2; }, 60000));

        // The logger stops; the viewer has every record of the file.
        ::kill(pid_t(logger.processId()), SIGTERM);
        QVERIFY(logger.waitForFinished(10000));
        QCOMPARE(logger.exitCode(), 0);
        const testsupport::CsvCheck records = testsupport::checkCsvFile(run);
        QVERIFY(records.ok());
        QVERIFY(QTest::qWaitFor([&] { return followed->points().size() == records.records.size(); }, 2000));
        QCOMPARE(followed->pendingBytes(), qsizetype(0));

        // The test in the window over the rise, a second past the pump-down.
        const double from = end + 1.0;
        const double to = followed->points().constLast().x();
        window.risePanel()->setSpan(from, to);
        QVERIFY(window.risePanel()->result().has_value());
        const RiseTest &test = *window.risePanel()->result();
        QVERIFY2(test.verdict == RiseTest::Leak, qPrintable(test.reason));
        QVERIFY2(std::abs(test.whole.slope - kLeakRate) < 0.03 * kLeakRate, qPrintable(window.risePanel()->resultText()));
        QVERIFY(std::abs(test.leakRate - kVolumeLitres * kLeakRate) < 0.03 * kVolumeLitres * kLeakRate);
        window.chart()->redrawNow();
        QCoreApplication::processEvents();
        QDir().mkpath(QStringLiteral(ARTIFACT_DIR));
        window.grab().save(QStringLiteral(ARTIFACT_DIR "/viewer-pumpdown-leak.png"));
        QFile::remove(QStringLiteral(ARTIFACT_DIR "/viewer-pumpdown-leak.csv"));
        QFile::copy(run, QStringLiteral(ARTIFACT_DIR "/viewer-pumpdown-leak.csv"));

        // The same test from the command line.
        const testsupport::Finished cli = testsupport::runToEnd(
            QStringLiteral(VIEWER_EXE), {QStringLiteral("--rate-of-rise"), QString::number(from, 'f', 3),
                                         QString::number(to, 'f', 3), QStringLiteral("--volume"),
                                         QString::number(kVolumeLitres), run});
        QVERIFY2(cli.exitCode == 0, qPrintable(cli.err));
        const QJsonObject json = QJsonDocument::fromJson(cli.out.toUtf8()).object();
        QCOMPARE(json.value(QStringLiteral("verdict")).toString(), QStringLiteral("leak"));
        QCOMPARE(json.value(QStringLiteral("readings")).toInt(), int(test.whole.count));
        QCOMPARE(json.value(QStringLiteral("leak_rate_mbar_l_per_s")).toDouble(), test.leakRate);
        QCOMPARE(sim.stop(), 0);
    }
};

QTEST_MAIN(TestViewerLogger)
#include "tst_viewer_logger.moc"
