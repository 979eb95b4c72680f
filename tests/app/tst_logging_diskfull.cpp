// A working directory that is full: records that cannot be written show the
// write-error text, the tool keeps running, and "Logging ON" returns once
// space is free again; the files never hold a partial line. Needs a private
// mount namespace (scripts/netns-run) for its tiny tmpfs.
#include "netns.h"
#include "record_check.h"
#include "tmpfs.h"
#include "window_fixture.h"

#include <QtTest>
#include <QTemporaryDir>

using namespace testsupport;

class TestLoggingDiskFull : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    Tmpfs m_tmpfs;

private slots:
    void initTestCase()
    {
        if (!insideNamespace())
            QSKIP("needs the private mount namespace of scripts/netns-run");
        QVERIFY(m_dir.isValid());
        QString why;
        if (!m_tmpfs.mount(m_dir.path(), QStringLiteral("64k"), &why))
            QSKIP(qPrintable(why));
        m_oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanupTestCase()
    {
        if (!m_oldCwd.isEmpty())
            QDir::setCurrent(m_oldCwd);
    }

    void fullDiskReportsAndRecovers()
    {
        resetAppState();
        MainWindow w;
        stopTimers(w);
        connectLink(w);
        w.onStartClicked();
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Logging ON"));
        const QString runPath = runFile.fileName();
        const QString dailyPath = dailyFile.fileName();
        displayTick(w);
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Logging ON"));

        const QString filler = m_dir.filePath(QStringLiteral("filler"));
        QVERIFY(fillFileSystem(filler) >= 0);
        // Records go on filling the last pages of the two files; then both fail.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not write (run|daily) CSV")));
        bool runFailed = false;
        for (int i = 0; i < 1000 && !runFailed; ++i) {
            displayTick(w);
            runFailed = w.ui->loggingStatusLabel->text() == QStringLiteral("Could not write run CSV");
        }
        QVERIFY(runFailed);
        const int pointsWhenFull = w.sampleIndex;
        displayTick(w); // still full: still the error, still running
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Could not write run CSV"));

        const CsvCheck runFull = checkCsvFile(runPath);
        QVERIFY2(runFull.ok(), qPrintable(runFull.problems.join('\n')));
        const CsvCheck dailyFull = checkCsvFile(dailyPath);
        QVERIFY2(dailyFull.ok(), qPrintable(dailyFull.problems.join('\n')));

        QVERIFY(QFile::remove(filler));
        displayTick(w);
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Logging ON"));
        displayTick(w);
        QVERIFY(w.sampleIndex > pointsWhenFull);
        w.onStopClicked();

        const CsvCheck run = checkCsvFile(runPath);
        QVERIFY2(run.ok(), qPrintable(run.problems.join('\n')));
        QCOMPARE(run.records.size(), runFull.records.size() + 2);
        const CsvCheck daily = checkCsvFile(dailyPath);
        QVERIFY2(daily.ok(), qPrintable(daily.problems.join('\n')));
    }
};

QTEST_MAIN(TestLoggingDiskFull)
#include "tst_logging_diskfull.moc"
