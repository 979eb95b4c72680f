// Appending records to the run and daily files: identical lines, two runs
// back to back in one daily file, durable close, and no partial line left
// behind when the file cannot take a whole record.
#include "durable_file.h"
#include "record_appender.h"
#include "record_check.h"
#include "record_line.h"

#include <QtTest>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

using testsupport::fileBytes;

constexpr QIODevice::OpenMode kRunMode = QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered;
constexpr QIODevice::OpenMode kDailyMode = QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered;

// Every line a complete record of 1013.25 mbar.
void verifyWholeRecords(const QByteArray &content, int expectedLines)
{
    const testsupport::CsvCheck check = testsupport::checkCsvBytes(content);
    QVERIFY2(check.ok(), qPrintable(check.problems.join('\n')));
    QCOMPARE(check.records.size(), expectedLines);
    for (const testsupport::Record &r : check.records)
        QCOMPARE(r.pressure, 1013.25);
}

} // namespace

class TestRecordAppender : public QObject
{
    Q_OBJECT

private slots:
    void runAndDailyGetIdenticalLines()
    {
        QTemporaryDir tmp;
        QFile run(tmp.filePath(QStringLiteral("run.csv")));
        QFile daily(tmp.filePath(QStringLiteral("daily.csv")));
        QVERIFY(run.open(kRunMode));
        QVERIFY(daily.open(kDailyMode));
        QTextStream runStream(&run);
        QTextStream dailyStream(&daily);
        records::RecordAppender a, b;
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        QByteArray expected;
        for (int i = 0; i < 3; ++i) {
            const QString line = records::formatRecordLine(start.addMSecs(1000 * i + 7), start, 1000.0 + i);
            QVERIFY(a.append(run, runStream, line));
            QVERIFY(b.append(daily, dailyStream, line));
            expected += line.toUtf8();
        }
        // Flushed at once: visible before the files are closed.
        QCOMPARE(fileBytes(run.fileName()), expected);
        QCOMPARE(fileBytes(daily.fileName()), expected);
        QVERIFY(records::closeDurably(run));
        QVERIFY(records::closeDurably(daily));
        QVERIFY(!run.isOpen());
        QCOMPARE(fileBytes(run.fileName()),
                 QByteArray("2024-03-05;14:07:09;0.007;1000\n"
                            "2024-03-05;14:07:10;1.007;1001\n"
                            "2024-03-05;14:07:11;2.007;1002\n"));
    }

    void dailyHoldsTwoRunsBackToBack()
    {
        QTemporaryDir tmp;
        const QString dailyPath = tmp.filePath(QStringLiteral("20240305.csv"));
        const QDateTime start1(QDate(2024, 3, 5), QTime(10, 0, 0));
        const QDateTime start2(QDate(2024, 3, 5), QTime(11, 0, 0));
        QByteArray expected;
        for (const QDateTime &start : {start1, start2}) {
            QFile daily(dailyPath);
            QVERIFY(daily.open(kDailyMode));
            QTextStream stream(&daily);
            records::RecordAppender appender;
            for (int i = 0; i < 2; ++i) {
                const QString line = records::formatRecordLine(start.addMSecs(500 + 1000 * i), start, 1013.25);
                QVERIFY(appender.append(daily, stream, line));
                expected += line.toUtf8();
            }
            QVERIFY(records::closeDurably(daily));
        }
        QCOMPARE(fileBytes(dailyPath), expected);
        QVERIFY(expected.contains("11:00:00;0.500;1013.25\n"));
        QCOMPARE(expected.count('\n'), 4);
    }

    void closingAFileThatIsNotOpenIsFine()
    {
        QFile f;
        QVERIFY(records::closeDurably(f));
        QVERIFY(records::syncToDisk(f));
    }

    void fullDeviceIsReportedAndLeavesNothing()
    {
        QFile full(QStringLiteral("/dev/full"));
        if (!full.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            QSKIP("/dev/full is not available");
        QTextStream stream(&full);
        records::RecordAppender appender;
        QString error;
        const QString line = records::formatRecordLine(QDateTime::currentDateTime(), QDateTime::currentDateTime(), 1.0);
        QVERIFY(!appender.append(full, stream, line, &error));
        QVERIFY2(error.contains(QLatin1String("space"), Qt::CaseInsensitive), qPrintable(error));
        QCOMPARE(stream.status(), QTextStream::Ok); // reset for the next record
    }

    // A file size limit makes the system take only part of a record, as a
    // full disk does; the partial line must be gone and later records whole.
    void partialWriteIsCutBackAndWritingRecovers()
    {
        QTemporaryDir tmp;
        QFile run(tmp.filePath(QStringLiteral("run.csv")));
        QVERIFY(run.open(kRunMode));
        QTextStream stream(&run);
        records::RecordAppender appender;
        const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
        const QString line = records::formatRecordLine(start.addMSecs(1234), start, 1013.25);
        const qint64 lineSize = line.toUtf8().size();

        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = rlim_t(lineSize * 2 + lineSize / 2); // room for 2.5 records
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

        int written = 0;
        QString error;
        for (int i = 0; i < 5; ++i) {
            if (appender.append(run, stream, line, &error))
                ++written;
        }
        const QByteArray limited = fileBytes(run.fileName());

        QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(written, 2);
        QVERIFY(!error.isEmpty());
        QVERIFY(!appender.hasPendingCut());
        verifyWholeRecords(limited, 2);
        QCOMPARE(run.size(), 2 * lineSize);

        // Room again: the next record is written whole, right after the others.
        QVERIFY(appender.append(run, stream, line, &error));
        QVERIFY(records::closeDurably(run));
        verifyWholeRecords(fileBytes(run.fileName()), 3);
    }
};

QTEST_APPLESS_MAIN(TestRecordAppender)
#include "tst_record_appender.moc"
