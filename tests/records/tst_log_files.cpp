// The log files of a logging program are opened only as regular files reached
// without a symbolic link: whatever stands at their names instead is refused
// at once, with the file named, and nothing is made, emptied or written
// where a link points.
#include "durable_file.h"
#include "regular_file.h"
#include "run_log.h"
#include "run_naming.h"

#include <QtTest>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QDateTime kStart(QDate(2026, 3, 14), QTime(9, 26, 53));

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// Puts at `path` what `plant` says: a "link" to `target`, a "fifo" or a "folder".
bool plantAt(const QString &path, const QString &plant, const QString &target)
{
    if (plant == QLatin1String("link"))
        return QFile::link(target, path);
    if (plant == QLatin1String("fifo"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    return QDir().mkdir(path);
}

} // namespace

class TestLogFiles : public QObject
{
    Q_OBJECT

private slots:
    void plantedNamesAreRefused_data()
    {
        QTest::addColumn<bool>("daily");
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QByteArray>("target"); // what the link's target holds; empty: no target
        QTest::addColumn<QString>("why");       // empty: the run goes to the next free name
        // A cut last line would get its line end through the link.
        QTest::newRow("daily: link to a file") << true << "link" << QByteArray("precious") << "is a symbolic link";
        QTest::newRow("daily: link to nothing") << true << "link" << QByteArray() << "is a symbolic link";
        QTest::newRow("daily: FIFO") << true << "fifo" << QByteArray() << "is a FIFO, not a log file";
        QTest::newRow("daily: folder") << true << "folder" << QByteArray() << "is a folder";
        QTest::newRow("run: link to a file") << false << "link" << QByteArray("precious") << "";
        QTest::newRow("run: link to nothing") << false << "link" << QByteArray() << "";
    }

    void plantedNamesAreRefused()
    {
        QFETCH(bool, daily);
        QFETCH(QString, plant);
        QFETCH(QByteArray, target);
        QFETCH(QString, why);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(daily ? records::dailyCsvName(kStart.date())
                                                : records::runCsvName(records::runStamp(kStart)));
        const QString victim = dir.filePath(QStringLiteral("victim"));
        if (!target.isEmpty()) {
            QFile f(victim);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(target), target.size());
        }
        QVERIFY(plantAt(path, plant, victim));

        records::RunLog log{QDir(dir.path())};
        QString error;
        const bool opened = daily ? log.openDaily(kStart.date(), &error) : log.startRun(kStart, &error);
        if (why.isEmpty()) {
            QVERIFY2(opened && log.runPath() != path, qPrintable(error));
            QVERIFY(log.write(kStart, 1000.0).runWritten);
            // Had that name been taken as free, the exclusive open refuses it.
            QFile run;
            QVERIFY(!records::openRegularFileForWriting(run, path, records::kRunCsvOpenMode, &error));
            QVERIFY2(error.contains(QStringLiteral("is a symbolic link")), qPrintable(error));
        } else {
            QVERIFY(!opened);
            QVERIFY2(error.startsWith(path + QStringLiteral(": ")) && error.contains(why), qPrintable(error));
            QVERIFY(!log.dailyOpen());
        }
        QCOMPARE(bytesOf(victim), target.isEmpty() ? QByteArray("(missing)") : target);
    }

    // The cut last line is looked for in the file open for appending only:
    // a link or another file put at its name since is neither read nor
    // answered with a line end.
    void lastLineIsCheckedInTheOpenFileOnly_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("why");
        QTest::newRow("link at its name") << true << "is a symbolic link";
        QTest::newRow("another file at its name") << false << "is no longer the file being written";
    }

    void lastLineIsCheckedInTheOpenFileOnly()
    {
        QFETCH(bool, link);
        QFETCH(QString, why);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("daily.csv"));
        const QString other = dir.filePath(QStringLiteral("other.csv"));
        for (const QString &name : {path, other}) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write("cut"), 3);
        }
        QFile daily(path);
        QVERIFY(daily.open(records::kDailyCsvOpenMode));
        QVERIFY(QFile::rename(path, dir.filePath(QStringLiteral("moved.csv"))));
        QVERIFY(link ? QFile::link(other, path) : QFile::copy(other, path));

        QString error;
        QVERIFY(!records::terminateLastLine(daily, &error));
        QVERIFY2(error.contains(why), qPrintable(error));
        daily.close();
        QCOMPARE(bytesOf(dir.filePath(QStringLiteral("moved.csv"))), QByteArray("cut"));
        QCOMPARE(bytesOf(other), QByteArray("cut"));
    }
};

QTEST_GUILESS_MAIN(TestLogFiles)
#include "tst_log_files.moc"
