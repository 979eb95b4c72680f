// The logger's files and lines against the scripted link and a clock the
// test moves: the window's record line in the run CSV and the daily CSV,
// a run that crosses midnight, a new run on request (with the "_2" rule),
// the duration, the status line, and the exits at start.
#include "fake_clock.h"
#include "fakelink.h"
#include "pressure_logger.h"
#include "record_check.h"
#include "record_line.h"
#include "run_parser.h"

#include <QtTest>
#include <QTemporaryDir>

using fakelink::validReading;
using logger::PressureLogger;
using testsupport::fileBytes;

namespace {

QByteArray lines(const QDateTime &runStart, const QList<qint64> &msAfterStart, double mbar)
{
    QByteArray out;
    for (qint64 ms : msAfterStart)
        out += records::formatRecordLine(runStart.addMSecs(ms), runStart, mbar).toUtf8();
    return out;
}

struct Rig
{
    explicit Rig(const QString &dir, const QDateTime &start = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)),
                 qint64 durationMs = -1, bool quiet = false)
        : clock(start), folder(dir)
    {
        logger::LoggerSettings s;
        s.adapter = "eth0";
        s.outputDir = dir;
        s.durationMs = durationMs;
        s.quiet = quiet;
        log = std::make_unique<PressureLogger>(
            s, clock, [this](const QString &l) { status << l; }, [this](const QString &e) { events << e; });
    }
    // 10 ms ticks for `ms`; false when the logger finished on the way.
    bool run(qint64 ms)
    {
        for (qint64 t = 0; t < ms; t += 10) {
            clock.advance(10);
            if (!log->tick())
                return false;
        }
        return true;
    }
    QString path(const QString &name) const { return QDir(folder).filePath(name); }

    loggertest::FakeClock clock;
    QString folder;
    QStringList status;
    QStringList events;
    std::unique_ptr<PressureLogger> log;
};

} // namespace

class TestPressureLogger : public QObject
{
    Q_OBJECT

private slots:
    void init() { fakelink::reset(); }

    void recordsInTheWindowsFormatInBothFiles()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        fakelink::setDefaultRead(validReading(101325.0f));
        QCOMPARE(rig.log->start(), 0);
        QVERIFY(rig.run(3500));
        QCOMPARE(rig.log->finish(), 0);

        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        const QByteArray expected = lines(start, {1000, 2000, 3000}, 1013.25);
        QCOMPARE(fileBytes(rig.path("2024-03-05_14-07-09_pressure.csv")), expected);
        QCOMPARE(fileBytes(rig.path("20240305.csv")), expected);
        const records::RunParseResult parsed = records::parseRunFile(rig.path("2024-03-05_14-07-09_pressure.csv"));
        QCOMPARE(parsed.points, (QList<QPointF>{{1.0, 1013.25}, {2.0, 1013.25}, {3.0, 1013.25}}));
        QVERIFY(rig.events.last().startsWith(QStringLiteral("stopped (finished): 3 records in "
                                                            "2024-03-05_14-07-09_pressure.csv, files synced")));
    }

    void oneStatusLineASecondUnlessQuiet()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QCOMPARE(rig.log->start(), 0);
        QVERIFY(rig.run(2000));
        QCOMPARE(rig.status, (QStringList{
            "2024-03-05 14:07:10 | 1013.250 mbar | Connected, valid pressure | 2024-03-05_14-07-09_pressure.csv: 1 record",
            "2024-03-05 14:07:11 | 1013.250 mbar | Connected, valid pressure | 2024-03-05_14-07-09_pressure.csv: 2 records"}));

        QTemporaryDir quietDir;
        Rig quiet(quietDir.path(), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), -1, true);
        QCOMPARE(quiet.log->start(), 0);
        QVERIFY(quiet.run(3000));
        QVERIFY(quiet.status.isEmpty());
        QCOMPARE(quiet.log->runRecords(), 3);
    }

    // The run goes on past midnight; the daily CSV is the record's own day's.
    void aRunAcrossMidnightChangesTheDailyFileOnly()
    {
        QTemporaryDir dir;
        const QDateTime start(QDate(2024, 3, 5), QTime(23, 59, 58, 500));
        Rig rig(dir.path(), start);
        QCOMPARE(rig.log->start(), 0);
        QVERIFY(rig.run(3000));
        QCOMPARE(rig.log->finish(), 0);
        QCOMPARE(fileBytes(rig.path("2024-03-05_23-59-58_pressure.csv")), lines(start, {1000, 2000, 3000}, 1013.25));
        QCOMPARE(fileBytes(rig.path("20240305.csv")), lines(start, {1000}, 1013.25));
        QCOMPARE(fileBytes(rig.path("20240306.csv")), lines(start, {2000, 3000}, 1013.25));
        QVERIFY(rig.events.contains(QStringLiteral("records of 2024-03-06 go to 20240306.csv")));
    }

    // A new run in the same second gets "_2"; the daily file takes both.
    void aNewRunOnRequest()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        QCOMPARE(rig.log->start(), 0);
        QVERIFY(rig.run(2000));
        rig.log->requestNewRun();
        QVERIFY(rig.run(2000));
        rig.log->requestNewRun();  // 14:07:13: the same second as the last record
        QVERIFY(rig.run(10));
        QCOMPARE(rig.log->finish(), 0);

        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        const QDateTime second = start.addMSecs(2010);
        QCOMPARE(fileBytes(rig.path("2024-03-05_14-07-09_pressure.csv")), lines(start, {1000, 2000}, 1013.25));
        QCOMPARE(fileBytes(rig.path("2024-03-05_14-07-11_pressure.csv")), lines(second, {990, 1990}, 1013.25));
        QCOMPARE(fileBytes(rig.path("2024-03-05_14-07-13_pressure.csv")), QByteArray());
        QVERIFY(QFile::exists(rig.path("2024-03-05_14-07-13_pressure.csv")));
        QCOMPARE(fileBytes(rig.path("20240305.csv")),
                 lines(start, {1000, 2000}, 1013.25) + lines(second, {990, 1990}, 1013.25));
        QVERIFY(rig.events.contains(QStringLiteral("run 2024-03-05_14-07-09_pressure.csv closed with 2 records")));

        fakelink::reset();
        QTemporaryDir same;
        Rig twice(same.path());
        QCOMPARE(twice.log->start(), 0);
        twice.log->requestNewRun();
        QVERIFY(twice.run(1000));
        QCOMPARE(twice.log->runPath(), twice.path("2024-03-05_14-07-09_2_pressure.csv"));
        QVERIFY(QFile::exists(twice.path("2024-03-05_14-07-09_pressure.csv")));
        QCOMPARE(fileBytes(twice.path("2024-03-05_14-07-09_pressure.csv")), QByteArray());
    }

    void aDurationEndsTheLogger()
    {
        QTemporaryDir dir;
        Rig rig(dir.path(), QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)), 2500);
        QCOMPARE(rig.log->start(), 0);
        QVERIFY(!rig.run(5000));
        QCOMPARE(rig.clock.monotonicMs(), 2500);
        QCOMPARE(rig.log->finish(), 0);
        QCOMPARE(rig.log->runRecords(), 2);
        QVERIFY(rig.events.last().startsWith(QStringLiteral("stopped (duration reached): 2 records")));
    }

    void startFailsWhenTheBusDoesNotComeUp()
    {
        QTemporaryDir dir;
        Rig rig(dir.path());
        fakelink::setDefaultConnectResult(0);
        QCOMPARE(rig.log->start(), 1);
        QCOMPARE(rig.events, QStringList{"cannot connect on adapter \"eth0\" (the reason is printed above)"});
        QVERIFY(QDir(dir.path()).isEmpty());
    }

    void startFailsWhenTheFolderCannotBeMade()
    {
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Rig rig(dir.filePath("file/runs"));
        QCOMPARE(rig.log->start(), 1);
        QVERIFY(rig.events.first().startsWith(QStringLiteral("cannot create the output folder")));
        QCOMPARE(fakelink::connectCount(), 0);
    }

    void aMissingFolderIsMade()
    {
        QTemporaryDir dir;
        Rig rig(dir.filePath("a/b"));
        QCOMPARE(rig.log->start(), 0);
        QVERIFY(rig.run(1000));
        QCOMPARE(rig.log->finish(), 0);
        QCOMPARE(fileBytes(dir.filePath("a/b/20240305.csv")).count('\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestPressureLogger)
#include "tst_pressure_logger.moc"
