// A working directory that fills up while a run is on: the logging label names
// the file that could not be written, the tool keeps running, and records
// resume once space returns. The directory is a tiny tmpfs mounted inside the
// test's private mount namespace, so nothing outside sees it.
#include "message_capture.h"
#include "record_check.h"
#include "support/scenario.h"
#include "tmpfs.h"

#include <QtTest>

using namespace e2e;
using namespace testsupport;

class DiskFullTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!insideNamespace())
            QSKIP(kNeedsNamespace);
        QVERIFY(mountDir_.isValid());
        QString why;
        QVERIFY2(tmpfs_.mount(mountDir_.path(), QStringLiteral("256k"), &why), qPrintable(why));
    }
    void fillsUpDuringARun();

private:
    QTemporaryDir mountDir_;
    Tmpfs tmpfs_;
};

void DiskFullTest::fillsUpDuringARun()
{
    MessageCapture messages;
    SimProcess sim;
    WindowRig rig;
    QString why;
    QVERIFY2(sim.start({"--pressure", "1013.25"}, &why), qPrintable(why));
    QVERIFY2(rig.build(&why, mountDir_.path()), qPrintable(why));
    QVERIFY(rig.selectAdapter(masterInterface()));
    rig.clickConnect();
    QCOMPARE(rig.status(), QStringLiteral("Connected"));
    // A first run with room: the daily file gets its first records.
    QVERIFY2(startLogging(rig, 2, &why), qPrintable(why));
    const int dailyBefore = lineCount(rig.dailyCsv());

    // A new run starts and the directory fills up before its first record.
    const QStringList runsBefore = runCsvFiles(rig.dir());
    rig.clickStart();
    QCOMPARE(rig.logging(), QStringLiteral("Logging ON"));
    QStringList newRuns = runCsvFiles(rig.dir());
    for (const QString &r : runsBefore)
        newRuns.removeAll(r);
    QCOMPARE(newRuns.size(), 1);
    const QString run = rig.dir().filePath(newRuns.first());
    const QString filler = rig.dir().filePath("filler.bin");
    const qint64 filled = fillFileSystem(filler);
    QVERIFY2(filled > 0, "could not fill the tmpfs");
    std::printf("filled %lld bytes\n", static_cast<long long>(filled));

    QVERIFY2(rig.waitUntil([&] { return rig.logging() == "Could not write run CSV"; }, 5000),
             qPrintable(rig.logging()));
    QVERIFY(rig.waitDisplayTicks(2, 10000));
    QCOMPARE(rig.logging(), QStringLiteral("Could not write run CSV"));
    // The link is unaffected (a single read may time out on a busy machine).
    QVERIFY2(rig.waitUntil([&] { return rig.status() == kValid; }, 3000), qPrintable(rig.status()));
    QCOMPARE(lineCount(run), 0);
    QVERIFY(messages.messages().size() > 0);   // a warning goes to the debug output

    // Space returns: the next record is written and the label says so.
    QVERIFY(QFile::remove(filler));
    const qint64 freedAt = rig.nowMs();
    QVERIFY2(rig.waitUntil([&] { return lineCount(run) >= 2; }, 10000), qPrintable(rig.logging()));
    QCOMPARE(rig.logging(), QStringLiteral("Logging ON"));
    printFigure("disk full: space back to next record", rig.ticks().last().atMs - freedAt, "ms");

    const CsvCheck r = checkCsvFile(run);
    QVERIFY2(r.ok(), qPrintable(r.problems.join('\n')));
    for (const Record &rec : r.records)
        QCOMPARE(rec.pressure, 1013.25);
    const CsvCheck d = checkCsvFile(rig.dailyCsv());
    QVERIFY2(d.ok(), qPrintable(d.problems.join('\n')));
    QVERIFY(d.records.size() >= dailyBefore + r.records.size());
    // Each record of the run is also in the daily file, in the same order, at its end.
    for (int i = 0; i < r.records.size(); ++i)
        QCOMPARE(d.records[d.records.size() - r.records.size() + i].line, r.records[i].line);
    rig.clickStop();
    QCOMPARE(rig.logging(), QStringLiteral("Logging OFF, graph saved"));
}

QTEST_MAIN(DiskFullTest)
#include "tst_e2e_diskfull.moc"
