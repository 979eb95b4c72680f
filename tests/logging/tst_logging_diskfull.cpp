// A working directory that is full: records that cannot be written show the
// write-error text, the tool keeps running, and "Logging ON" returns once
// space is free again; the files never hold a partial line. Needs a private
// mount namespace (scripts/netns-run) for its tiny tmpfs.
#include "logging_fixture.h"
#include "record_check.h"
#include "ui_mainwindow.h"

#include <QtTest>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

using namespace logtest;

class TestLoggingDiskFull : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    bool m_mounted = false;

    // Fills the file system with one file; returns its path.
    QString fill()
    {
        const QString filler = m_dir.filePath(QStringLiteral("filler"));
        const QByteArray native = QFile::encodeName(filler);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd < 0)
            return QString();
        char block[512] = {};
        while (::write(fd, block, sizeof block) > 0) {
        }
        while (::write(fd, block, 1) > 0) {
        }
        ::close(fd);
        return filler;
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("ECAT_MASTER_IF"))
            QSKIP("needs the private mount namespace of scripts/netns-run");
        QVERIFY(m_dir.isValid());
        const QByteArray where = QFile::encodeName(m_dir.path());
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs: %1").arg(QString::fromLocal8Bit(strerror(errno)))));
        m_mounted = true;
        m_oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    void cleanupTestCase()
    {
        if (!m_mounted)
            return;
        QDir::setCurrent(m_oldCwd);
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }

    void fullDiskReportsAndRecovers()
    {
        fakelink::reset();
        MainWindow w;
        stopTimer(w);
        connectLink(w);
        w.onStartClicked();
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Logging ON"));
        const QString runPath = runFile.fileName();
        const QString dailyPath = dailyFile.fileName();
        displayTick(w);
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Logging ON"));

        const QString filler = fill();
        QVERIFY(!filler.isEmpty());
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

        bool ok = false;
        QByteArray bad;
        const int runLinesFull = wholeRecords(fileBytes(runPath), ok, bad).size();
        QVERIFY2(ok, bad.constData());
        wholeRecords(fileBytes(dailyPath), ok, bad);
        QVERIFY2(ok, bad.constData());

        QVERIFY(QFile::remove(filler));
        displayTick(w);
        QCOMPARE(w.ui->loggingStatusLabel->text(), QStringLiteral("Logging ON"));
        displayTick(w);
        QVERIFY(w.sampleIndex > pointsWhenFull);
        w.onStopClicked();

        const QList<QByteArray> run = wholeRecords(fileBytes(runPath), ok, bad);
        QVERIFY2(ok, bad.constData());
        QCOMPARE(run.size(), runLinesFull + 2);
        wholeRecords(fileBytes(dailyPath), ok, bad);
        QVERIFY2(ok, bad.constData());
    }
};

QTEST_MAIN(TestLoggingDiskFull)
#include "tst_logging_diskfull.moc"
