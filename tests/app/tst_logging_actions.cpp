// Start and Stop Logging, the live chart through the tick, and the chart
// snapshot, on the offscreen platform with the scripted link.
#include "planted.h"
#include "record_check.h"
#include "window_fixture.h"
#include "run_naming.h"

#include <QtTest>
#include <QChartView>
#include <QDir>
#include <QImage>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>

#include <cmath>
#include <csignal>
#include <sys/resource.h>

using namespace testsupport;

class TestLoggingActions : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    MainWindow *w = nullptr;

    QString label() const { return w->ui->loggingStatusLabel->text(); }

    void dirtyTheChart()
    {
        w->series->append(5, 5);
        w->sampleIndex = 17;
        w->axisX->setRange(3, 9);
        w->axisY->setRange(-4, 7);
    }
    void verifyChartReset()
    {
        QCOMPARE(w->series->count(), 0);
        QCOMPARE(w->sampleIndex, 0);
        QCOMPARE(w->axisX->min(), 0.0);
        QCOMPARE(w->axisX->max(), 60.0);
        QCOMPARE(w->axisY->min(), 0.0);
        QCOMPARE(w->axisY->max(), 1200.0);
    }
    QStringList csvLines(const QString &path)
    {
        const QByteArray all = fileBytes(path);
        QStringList lines = QString::fromUtf8(all).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_oldCwd = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        fakelink::reset();
        const QDate before = QDate::currentDate();
        w = new MainWindow;
        const QDate after = QDate::currentDate();
        stopTimers(*w);
        w->resize(800, 600);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(dailyFile.fileName() == records::dailyCsvName(before)
                || dailyFile.fileName() == records::dailyCsvName(after));
    }
    void cleanupTestCase()
    {
        delete w;
        QDir::setCurrent(m_oldCwd);
    }

    // Runs first: no Start Logging has happened in this process yet.
    void stopBeforeAnyStart()
    {
        QVERIFY(runBaseName.isEmpty());
        w->onStopClicked();
        QCOMPARE(label(), QStringLiteral("Logging OFF, graph saved"));
        QVERIFY(QFile::exists(QStringLiteral("_pressure_graph.png")));
        QVERIFY(!loggingEnabled);
        QVERIFY(!runFile.isOpen());
        QVERIFY(!dailyFile.isOpen());
    }

    void startOpensBothFilesAndResetsTheChart()
    {
        dirtyTheChart();
        const QDateTime before = QDateTime::currentDateTime();
        w->onStartClicked();
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(label(), QStringLiteral("Logging ON"));
        QVERIFY(loggingEnabled);
        QVERIFY(stampsBetween(before, after).contains(runBaseName));
        QCOMPARE(runFile.fileName(), runBaseName + QStringLiteral("_pressure.csv"));
        QVERIFY(runFile.isOpen());
        QVERIFY(dailyFile.isOpen());
        QVERIFY(runStartTime >= before && runStartTime <= after);
        verifyChartReset();
        QCOMPARE(fileBytes(runFile.fileName()), QByteArray()); // no header
    }

    void liveChartThroughTheTick()
    {
        connectLink(*w);
        fakelink::setDefaultRead(fakelink::validReading(101325.0f));
        for (int i = 0; i < 60; ++i)
            displayTick(*w);
        QCOMPARE(w->series->count(), 60);
        QCOMPARE(w->series->at(59), QPointF(59, 1013.25));
        QCOMPARE(w->axisX->min(), 0.0); // 60 points: range unchanged
        QCOMPARE(w->axisX->max(), 60.0);
        displayTick(*w);
        QCOMPARE(w->series->count(), 61);
        QCOMPARE(w->series->at(60).x(), 60.0);
        QCOMPARE(w->sampleIndex, 61);
        QCOMPARE(w->axisX->min(), 1.0);
        QCOMPARE(w->axisX->max(), 61.0);

        // Equal to the maximum: unchanged; above it: value + 50.
        displayTickWith(*w, fakelink::validReading(120000.0f));
        QCOMPARE(w->axisY->max(), 1200.0);
        displayTickWith(*w, fakelink::validReading(125000.0f));
        QCOMPARE(w->axisY->max(), 1300.0);
        // NaN is logged but never raises the maximum; a negative value
        // does not move the minimum.
        QTest::ignoreMessage(QtWarningMsg, "Ignored NaN, Inf, or -Inf value.");
        displayTickWith(*w, fakelink::validReading(std::nanf("")));
        QCOMPARE(w->axisY->max(), 1300.0);
        displayTickWith(*w, fakelink::validReading(-5000.0f));
        QCOMPARE(w->axisY->min(), 0.0);
        // QXYSeries drops a NaN point (with a warning); x still advances.
        const int logged = w->sampleIndex;
        QCOMPARE(logged, 65);
        QCOMPARE(w->series->count(), 64);

        // Display ticks that log nothing add nothing.
        displayTickWith(*w, fakelink::invalidReading());
        while (tickCount % 100 != 99)
            w->onTimerTick();
        fakelink::queueChecks({fakelink::Check{4, -1}});
        w->onTimerTick(); // a display tick whose check fails
        QCOMPARE(tickCount % 100, 0);
        QCOMPARE(w->series->count(), 64);
        QCOMPARE(w->sampleIndex, logged);

        // The run CSV and the daily CSV hold one line per point, the same lines.
        const QStringList run = csvLines(runFile.fileName());
        QCOMPARE(run.size(), logged);
        QCOMPARE(csvLines(dailyFile.fileName()).mid(0), run);
        QVERIFY(run[0].endsWith(QLatin1String(";1013.25")));
        QVERIFY(run[62].endsWith(QLatin1String(";1250")));
        QVERIFY(run[63].endsWith(QLatin1String(";nan")));
        QVERIFY(run[64].endsWith(QLatin1String(";-50")));
    }

    void startWhileLoggingBeginsANewRun()
    {
        const QString firstRun = runFile.fileName();
        const QByteArray firstContent = fileBytes(firstRun);
        QVERIFY(!firstContent.isEmpty());
        const QString daily = dailyFile.fileName();
        const int dailyLines = csvLines(daily).size();

        w->onStartClicked();
        w->onStartClicked(); // twice within (most likely) the same second
        QCOMPARE(label(), QStringLiteral("Logging ON"));
        QVERIFY(loggingEnabled);
        QVERIFY(runFile.fileName() != firstRun);
        QCOMPARE(fileBytes(firstRun), firstContent); // never emptied
        verifyChartReset();
        displayTick(*w);
        QCOMPARE(csvLines(runFile.fileName()).size(), 1);
        QCOMPARE(csvLines(daily).size(), dailyLines + 1); // same daily file, appended
        QVERIFY(csvLines(runFile.fileName())[0].split(QLatin1Char(';'))[2].toDouble() < 5.0);
    }

    void sameSecondGetsASuffix()
    {
        // Whatever the clock says, a taken name gets "_2", "_3", ... Started
        // early in a second, so that the press falls in the same second as
        // the names made for it.
        QVERIFY(QTest::qWaitFor([] { return QTime::currentTime().msec() < 300; }, 2000));
        const QString stamp = records::runStamp(QDateTime::currentDateTime());
        QMap<QString, QByteArray> before;
        for (int i = 1; i <= 3; ++i) {
            const QString name = records::runCsvName(i == 1 ? stamp : stamp + QStringLiteral("_%1").arg(i));
            QFile f(name);
            if (!f.exists()) {
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write("kept\n");
            }
            f.close();
            before.insert(name, fileBytes(name));
        }
        const QDateTime t0 = QDateTime::currentDateTime();
        w->onStartClicked();
        const QDateTime t1 = QDateTime::currentDateTime();
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(fileBytes(it.key()), it.value()); // none emptied
        if (!stampsBetween(t0, t1).contains(stamp))
            QSKIP("the clock moved on to the next second");
        QVERIFY2(runBaseName.startsWith(stamp + QLatin1Char('_')), qPrintable(runBaseName));
        QVERIFY(runBaseName.section(QLatin1Char('_'), -1).toInt() >= 4);
        QCOMPARE(runFile.fileName(), records::runCsvName(runBaseName));
    }

    void stopClosesFilesAndSavesTheSnapshot()
    {
        const QString png = runBaseName + QStringLiteral("_pressure_graph.png");
        {
            QFile old(png); // an earlier snapshot of the same name is replaced
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("not a picture");
        }
        w->onStopClicked();
        QCOMPARE(label(), QStringLiteral("Logging OFF, graph saved"));
        QVERIFY(!loggingEnabled);
        QVERIFY(!runFile.isOpen());
        QVERIFY(!dailyFile.isOpen());
        QImage image(png);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), w->chartView->size() * w->chartView->devicePixelRatio());

        // Stop while idle: the same snapshot again, still idle.
        QVERIFY(QFile::remove(png));
        w->onStopClicked();
        QVERIFY(QFile::exists(png));
        QCOMPARE(label(), QStringLiteral("Logging OFF, graph saved"));
        const int points = w->series->count();
        displayTick(*w);
        QCOMPARE(w->series->count(), points); // logging off: no point
    }

    // A daily CSV that cannot be opened, or that is a link, a FIFO or a
    // folder, is refused at once: the warning names it and says why, and
    // nothing is made or written where a link points (a cut last line would
    // get its line end).
    void dailyFileThatDoesNotOpen_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("why");
        const QString link = QStringLiteral("is a symbolic link; log files are not written through links");
        QTest::newRow("missing folder") << "" << "" << "No such file or directory";
        QTest::newRow("link to a file") << "link" << "victim" << link;
        QTest::newRow("link to nothing") << "link" << "nowhere" << link;
        QTest::newRow("FIFO") << "fifo" << "" << "is a FIFO, not a log file";
        QTest::newRow("folder") << "folder" << "" << "is a folder, not a log file";
    }

    void dailyFileThatDoesNotOpen()
    {
        QFETCH(QString, plant);
        QFETCH(QString, target);
        QFETCH(QString, why);
        const QString daily = dailyFile.fileName();
        const QString path = plant.isEmpty() ? QStringLiteral("no-such-dir/daily.csv") : QStringLiteral("planted-daily");
        const QString victim = writeFile(QStringLiteral("victim"), "precious");
        QVERIFY(plantAt(path, plant, target));
        dailyFile.setFileName(path);
        dirtyTheChart();
        QTest::ignoreMessage(QtWarningMsg, QStringLiteral("Could not open daily CSV %1 : %2").arg(path, why).toUtf8());
        w->onStartClicked();
        QCOMPARE(label(), QStringLiteral("Could not open daily CSV"));
        QVERIFY(!loggingEnabled);
        QVERIFY(runFile.isOpen());
        QVERIFY(!dailyFile.isOpen());
        verifyChartReset();
        displayTick(*w);
        QCOMPARE(fileBytes(runFile.fileName()), QByteArray()); // not logging
        w->onStopClicked();
        QCOMPARE(fileBytes(victim), QByteArray("precious"));
        QVERIFY(!QFile::exists(QStringLiteral("nowhere")));
        QVERIFY(QDir().remove(path) || QDir().rmdir(path) || plant.isEmpty());
        QFile::remove(victim);
        dailyFile.setFileName(daily);
    }

    void dailyFileThatCannotBeWritten()
    {
        // A daily CSV at the process's file size limit: its writes fail
        // (EFBIG), the run CSV's do not.
        const QString daily = dailyFile.fileName();
        dailyFile.setFileName(QStringLiteral("full-daily"));
        writeFile(dailyFile.fileName(), QByteArray(4095, 'x') + '\n');
        struct rlimit limit{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
        const struct rlimit full{4096, limit.rlim_max};
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &full), 0);
        const auto restoreLimit = [&] {
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, oldHandler);
        };
        auto guard = qScopeGuard(restoreLimit);
        w->onStartClicked();
        QCOMPARE(label(), QStringLiteral("Logging ON"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not write daily CSV")));
        displayTick(*w);
        QCOMPARE(label(), QStringLiteral("Could not write daily CSV"));
        QCOMPARE(csvLines(runFile.fileName()).size(), 1); // the run CSV got it
        QCOMPARE(w->series->count(), 1);
        QCOMPARE(fileBytes(dailyFile.fileName()).size(), 4096); // nothing of the record
        guard.dismiss();
        restoreLimit(); // the snapshot is larger
        w->onStopClicked();
        QFile::remove(dailyFile.fileName());
        dailyFile.setFileName(daily);
    }

    void runFileThatDoesNotOpenAndSnapshotThatCannotBeSaved()
    {
        // A working directory that no longer exists: nothing can be created.
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("gone")));
        QVERIFY(QDir::setCurrent(m_dir.filePath(QStringLiteral("gone"))));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("gone")));
        dirtyTheChart();
        const QDateTime before = QDateTime::currentDateTime();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not open run CSV")));
        w->onStartClicked();
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(label(), QStringLiteral("Could not open run CSV"));
        QVERIFY(!loggingEnabled);
        QVERIFY(!runFile.isOpen());
        QVERIFY(stampsBetween(before, after).contains(runBaseName));
        verifyChartReset();
        displayTick(*w);
        QCOMPARE(w->series->count(), 0);

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not save chart snapshot")));
        w->onStopClicked();
        QCOMPARE(label(), QStringLiteral("Logging OFF, graph not saved"));
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    void startWhileLoggingWithARunFileThatDoesNotOpen()
    {
        w->onStartClicked();
        QVERIFY(loggingEnabled);
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("gone2")));
        QVERIFY(QDir::setCurrent(m_dir.filePath(QStringLiteral("gone2"))));
        QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("gone2")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Could not open run CSV")));
        w->onStartClicked();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QCOMPARE(label(), QStringLiteral("Could not open run CSV"));
        QVERIFY(loggingEnabled); // unchanged, but the tick writes nothing
        QVERIFY(!runFile.isOpen());
        displayTick(*w);
        QCOMPARE(w->series->count(), 0);
        w->onStopClicked();
        QVERIFY(!loggingEnabled);
    }
};

QTEST_MAIN(TestLoggingActions)
#include "tst_logging_actions.moc"
