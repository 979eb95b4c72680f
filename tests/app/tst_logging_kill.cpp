// Data safety: a process killed with SIGKILL while it logs leaves every
// record written before the kill complete in the run CSV and the daily CSV,
// the same ones in both (the daily file may lack the very last one, if the
// kill came between). The one record being written at the kill may be cut
// at a 4 KiB page boundary (the system stops a write there for a fatal
// signal); the next Start Logging ends such a tail in the daily file with a
// line end before appending, which the last case checks.
#include "record_check.h"
#include "sim_process.h"
#include "window_fixture.h"

#include <QtTest>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

class TestLoggingKill : public QObject
{
    Q_OBJECT

private slots:
    void killWhileLogging()
    {
        QRandomGenerator rng = QRandomGenerator::securelySeeded();
        for (int round = 0; round < 5; ++round) {
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            QProcess driver;
            driver.setWorkingDirectory(dir.path());
            driver.start(QStringLiteral(LOGGING_DRIVER));
            QVERIFY(driver.waitForStarted());
            QString ready;
            QVERIFY2(testsupport::awaitLine(driver, &ready, QRegularExpression("^ready "), 20000), qPrintable(ready));
            const QStringList names = ready.trimmed().split(' ');
            QCOMPARE(names.size(), 3);
            const QString runPath = dir.filePath(names[1]);
            const QString dailyPath = dir.filePath(names[2]);

            // Let some records through, then kill at a random moment.
            const int wanted = int(rng.bounded(5, 60));
            QTRY_VERIFY_WITH_TIMEOUT(testsupport::lineCount(runPath) >= wanted, 20000);
            QTest::qWait(int(rng.bounded(0, 40)));
            driver.kill();
            QVERIFY(driver.waitForFinished());

            const testsupport::CsvCheck runCheck = testsupport::checkCsvFile(runPath, true);
            const testsupport::CsvCheck dailyCheck = testsupport::checkCsvFile(dailyPath, true);
            QVERIFY2(runCheck.ok(), qPrintable(runCheck.problems.join('\n')));
            QVERIFY2(dailyCheck.ok(), qPrintable(dailyCheck.problems.join('\n')));
            const QStringList run = runCheck.lines();
            const QStringList daily = dailyCheck.lines();
            QVERIFY(run.size() >= wanted);
            QVERIFY2(daily == run || (daily.size() + 1 == run.size() && daily == run.mid(0, daily.size())),
                     qPrintable(QStringLiteral("run %1 lines, daily %2").arg(run.size()).arg(daily.size())));
        }
    }

    void nextStartEndsACutTailOfTheDailyFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        testsupport::resetAppState();
        {
            MainWindow w;
            testsupport::stopTimers(w);
            QFile cut(dailyFile.fileName());
            QVERIFY(cut.open(QIODevice::WriteOnly));
            cut.write("2024-03-05;14:07:09;1.000;1013.25\n2024-03-05;14:07:1");
            cut.close();
            testsupport::connectLink(w);
            w.onStartClicked();
            testsupport::displayTick(w);
            w.onStopClicked();
            const QList<QByteArray> lines = testsupport::fileBytes(dailyFile.fileName()).split('\n');
            QCOMPARE(lines.size(), 4);
            QCOMPARE(lines[1], QByteArray("2024-03-05;14:07:1")); // kept, on its own line
            QVERIFY(lines[2].endsWith(";1013.25"));
            QVERIFY(lines[3].isEmpty());
        }
        QVERIFY(QDir::setCurrent(old));
    }
};

QTEST_MAIN(TestLoggingKill)
#include "tst_logging_kill.moc"
