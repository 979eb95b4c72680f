// The real executable in a real window: an X server of its own (Xvfb), the
// simulated sensor on the namespace's pair, and the operator's clicks and keys
// sent through the X server. The labels are read from the screen: a copy of the
// window in this process, given the expected texts, shows how they must look.
#include "record_check.h"
#include "sim_process.h"
#include "support/layout_probe.h"
#include "support/xserver.h"

#include "mainwindow.h"

#include <QApplication>
#include <QChartView>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdio>

using namespace e2e;
using namespace testsupport;

namespace {

// Values the sensor steps through, one a second: each shows as a different label text.
QStringList profileValues()
{
    QStringList v;
    for (int i = 0; i < 40; ++i)
        v << QString::number(1000.5 + 3 * i);
    return v;
}

QString mbarText(double mbar) { return QStringLiteral("%1 mbar").arg(mbar, 0, 'f', 3); }

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void operatorSession();
    void closingTheWindowEndsWithZero();

private:
    // Whether the label `name` in the real window shows `text` now, given the other
    // texts of its row; the number of differing pixels goes to *diff.
    bool shows(const QString &name, const QString &pressure, const QString &status,
               const QString &logging, int *diff = nullptr);
    bool waitShows(const QString &name, const QString &pressure, const QString &status,
                   const QString &logging, int timeoutMs);
    QImage screen() { return x11::grab(window_); }
    void startTool();
    void clickOn(const QString &name, const QString &pressure, const QString &status, const QString &logging);

    SimProcess sim_;
    QTemporaryDir work_;
    std::unique_ptr<LayoutProbe> probe_;
    QProcess tool_;
    unsigned long window_ = 0;
};

void WindowTest::initTestCase()
{
    QVERIFY(work_.isValid());
    const QString profile = writeFile(work_.filePath("profile.txt"), profileValues().join('\n').toUtf8() + '\n');
    QString why;
    QVERIFY2(sim_.start({"--profile", "file", profile}, &why), qPrintable(why));
    probe_ = std::make_unique<LayoutProbe>();
}

void WindowTest::cleanupTestCase()
{
    if (tool_.state() != QProcess::NotRunning) {
        tool_.kill();
        tool_.waitForFinished();
    }
    probe_.reset();
}

void WindowTest::startTool()
{
    if (tool_.state() != QProcess::NotRunning) {
        tool_.kill();
        tool_.waitForFinished();
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "xcb");
    tool_.setProcessEnvironment(env);
    tool_.setWorkingDirectory(work_.path());
    tool_.setProcessChannelMode(QProcess::ForwardedChannels);
    tool_.start(QStringLiteral(E2E_TOOL_EXE), {});
    QVERIFY2(tool_.waitForStarted(10000), qPrintable(tool_.errorString()));
    window_ = x11::findWindow(tool_.processId(), "MainWindow");
    QVERIFY2(window_ != 0, "the tool's window did not appear");
    std::printf("tool pid %lld, window %lu\n", static_cast<long long>(tool_.processId()), window_);
}

bool WindowTest::shows(const QString &name, const QString &pressure, const QString &status,
                       const QString &logging, int *diff)
{
    probe_->setTexts(pressure, status, logging);
    const QRect r = probe_->rectOf(name);
    const int d = differingPixels(screen(), probe_->image(), r);
    if (diff)
        *diff = d;
    return d == 0;
}

bool WindowTest::waitShows(const QString &name, const QString &pressure, const QString &status,
                           const QString &logging, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    int diff = -1;
    while (clock.elapsed() < timeoutMs) {
        if (shows(name, pressure, status, logging, &diff))
            return true;
        QTest::qWait(50);
    }
    std::printf("%s still differs from the expected text \"%s\" in %d pixels; see %s\n", qPrintable(name),
                qPrintable(name == "statusLabel" ? status : name == "pressureLabel" ? pressure : logging), diff,
                E2E_ARTIFACT_DIR "/mismatch-*.png");
    screen().save(QStringLiteral(E2E_ARTIFACT_DIR "/mismatch-window.png"));
    probe_->image().save(QStringLiteral(E2E_ARTIFACT_DIR "/mismatch-expected.png"));
    return false;
}

void WindowTest::clickOn(const QString &name, const QString &pressure, const QString &status, const QString &logging)
{
    probe_->setTexts(pressure, status, logging);
    x11::click(window_, probe_->centreOf(name));
}

void WindowTest::operatorSession()
{
    startTool();
    const QRect geometry = x11::windowGeometry(window_);
    QCOMPARE(geometry.size(), QSize(800, 600));
    // The reference window beside the real one, never overlapping it.
    probe_->show(QPoint(geometry.right() + 40, 0));
    QCOMPARE(probe_->window().size(), geometry.size());
    x11::focus(window_);

    // The method itself: the start-up texts match, and a wrong text does not.
    const QString dash = QStringLiteral("---- mbar");
    QVERIFY(waitShows("statusLabel", dash, "Disconnected", "Logging OFF", 10000));
    QVERIFY(shows("pressureLabel", dash, "Disconnected", "Logging OFF"));
    QVERIFY(shows("loggingStatusLabel", dash, "Disconnected", "Logging OFF"));
    QVERIFY(!shows("statusLabel", dash, "Connected", "Logging OFF"));

    // Choose the adapter in the combo box's list, then Connect.
    const int index = probe_->adapterIndex(masterInterface());
    QVERIFY2(index >= 0, "the master's adapter is not listed");
    clickOn("adapterComboBox", dash, "Disconnected", "Logging OFF");
    QTest::qWait(300);
    screen().save(QStringLiteral(E2E_ARTIFACT_DIR "/step-combo-open.png"));
    QStringList keys{"Home"};
    for (int i = 0; i < index; ++i)
        keys << "Down";
    keys << "Return";
    x11::key(keys);
    QTest::qWait(200);
    screen().save(QStringLiteral(E2E_ARTIFACT_DIR "/step-adapter-chosen.png"));
    x11::focus(window_);
    clickOn("connectButton", dash, "Disconnected", "Logging OFF");
    QVERIFY(waitShows("statusLabel", QString(), "Connected, valid pressure", "Logging OFF", 20000));

    // The pressure label: a value of the sensor's profile, changing once per display period.
    QStringList seen;
    QVector<qint64> changes;
    QElapsedTimer clock;
    clock.start();
    const QRect pressureRect = probe_->rectOf("pressureLabel");
    QImage last = screen();
    QVector<QImage> pictures;
    while (clock.elapsed() < 5000) {
        QTest::qWait(20);
        const QImage now = screen();
        if (differingPixels(now, last, pressureRect) == 0)
            continue;
        changes << clock.elapsed();
        pictures << now;
        last = now;
    }
    // Which values: the label is redrawn at once, so the first picture after a change shows it.
    for (const QImage &now : pictures) {
        QString shown;
        for (const QString &v : profileValues()) {
            probe_->setTexts(mbarText(v.toDouble()), "Connected, valid pressure", "Logging OFF");
            const QRect r = probe_->rectOf("pressureLabel");
            if (differingPixels(now, probe_->image(r), r) == 0) {
                shown = v;
                break;
            }
        }
        QVERIFY2(!shown.isEmpty(), "the pressure label shows none of the sensor's values");
        seen << shown;
    }
    std::printf("pressure label showed %s\n", qPrintable(seen.join(", ")));
    // About five changes in five seconds; the display period stretches when ticks take longer.
    QVERIFY2(seen.size() >= 3 && seen.size() <= 6, qPrintable(seen.join(", ")));
    QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), seen.size());
    // The sensor steps by its own clock, the label by the tick count. When a display falls on the
    // sensor's step, jitter can let it show the value already shown (nothing to see), and the next
    // one shows the value after next: a gap of two periods comes only with one value skipped.
    const QStringList values = profileValues();
    for (int i = 1; i < changes.size(); ++i) {
        const qint64 gap = changes[i] - changes[i - 1];
        const int steps = int((values.indexOf(seen[i]) - values.indexOf(seen[i - 1]) + values.size()) % values.size());
        const qint64 limit = steps == 2 ? 3000 : 2000;
        QVERIFY2(gap > 800 && gap < limit,
                 qPrintable(QStringLiteral("label changed after %1 ms, from %2 to %3 mbar")
                                .arg(gap).arg(seen[i - 1], seen[i])));
    }

    // Start Logging; each new record is on the pressure label at once.
    clickOn("startButton", QString(), "Connected, valid pressure", "Logging OFF");
    QVERIFY(waitShows("loggingStatusLabel", QString(), "Connected, valid pressure", "Logging ON", 5000));
    QDir dir(work_.path());
    QString runPath;
    QVERIFY(QTest::qWaitFor([&] { return !runCsvFiles(dir).isEmpty(); }, 5000));
    runPath = dir.filePath(runCsvFiles(dir).first());
    int checked = 0;
    for (int lines = 0; checked < 4;) {
        QVERIFY2(QTest::qWaitFor([&] { return lineCount(runPath) > lines; }, 5000), "no new record");
        lines = lineCount(runPath);
        const CsvCheck c = checkCsvFile(runPath);
        QVERIFY2(c.ok(), qPrintable(c.problems.join('\n')));
        const double mbar = c.records.last().pressure;
        QVERIFY2(profileValues().contains(QString::number(mbar)), qPrintable(c.records.last().line));
        // The label is repainted once the tick has returned: well within the display period.
        int diff = -1;
        QImage now;
        QElapsedTimer sinceRecord;
        sinceRecord.start();
        do {
            now = screen();
            probe_->setTexts(mbarText(mbar), "Connected, valid pressure", "Logging ON");
            diff = differingPixels(now, probe_->image(), probe_->rectOf("pressureLabel"));
        } while (diff != 0 && sinceRecord.elapsed() < 500);
        QVERIFY2(diff == 0, qPrintable(QStringLiteral("label is not \"%1\" (%2 pixels differ)").arg(mbarText(mbar)).arg(diff)));
        if (++checked == 3)
            QVERIFY(now.save(QStringLiteral(E2E_ARTIFACT_DIR "/window-connected-logging.png")));
    }
    std::printf("screenshot of the connected, logging window: %s\n", E2E_ARTIFACT_DIR "/window-connected-logging.png");

    // Stop Logging: the files and the chart snapshot.
    clickOn("stopButton", QString(), "Connected, valid pressure", "Logging ON");
    QVERIFY(waitShows("loggingStatusLabel", QString(), "Connected, valid pressure", "Logging OFF, graph saved", 5000));
    const QImage afterStop = screen();
    const CsvCheck run = checkCsvFile(runPath);
    QVERIFY2(run.ok(), qPrintable(run.problems.join('\n')));
    QVERIFY(run.records.size() >= 4);
    const QStringList daily = dailyCsvFiles(dir);
    QCOMPARE(daily.size(), 1);
    const CsvCheck dc = checkCsvFile(dir.filePath(daily.first()));
    QVERIFY2(dc.ok(), qPrintable(dc.problems.join('\n')));
    QCOMPARE(dc.records.size(), run.records.size());
    for (int i = 0; i < run.records.size(); ++i)
        QCOMPARE(dc.records[i].line, run.records[i].line);
    const QString base = QFileInfo(runPath).fileName().chopped(int(strlen("_pressure.csv")));
    const QImage snapshot(dir.filePath(base + "_pressure_graph.png"));
    QVERIFY2(!snapshot.isNull(), qPrintable(base + "_pressure_graph.png"));
    const QRect chartRect = probe_->chartViewRect();
    QCOMPARE(snapshot.size(), chartRect.size());
    // Not blank: the snapshot is what the window shows in its chart.
    QSet<QRgb> colours;
    for (int y = 0; y < snapshot.height(); y += 3)
        for (int x = 0; x < snapshot.width(); x += 3)
            colours.insert(snapshot.pixel(x, y));
    QVERIFY2(colours.size() > 8, qPrintable(QString::number(colours.size())));
    const int chartDiff = differingPixels(snapshot.convertToFormat(QImage::Format_RGB32),
                                          afterStop.copy(chartRect), snapshot.rect());
    std::printf("snapshot against the window's chart: %d of %d pixels differ\n", chartDiff,
                snapshot.width() * snapshot.height());
    QVERIFY(chartDiff >= 0 && chartDiff < snapshot.width() * snapshot.height() / 100);

    // Load Graph: the file dialog, the run file's name typed, Enter.
    clickOn("loadRunButton", QString(), "Connected, valid pressure", "Logging OFF, graph saved");
    const unsigned long dialog = x11::findWindow(tool_.processId(), "Load pressure run", 10000);
    QVERIFY2(dialog != 0, "no file dialog titled \"Load pressure run\"");
    // The dialog takes the keyboard focus itself when it opens.
    QTest::qWait(500);
    x11::type(runPath);
    QTest::qWait(300);
    screen().save(QStringLiteral(E2E_ARTIFACT_DIR "/step-file-typed.png"));
    // Press Enter just after a display tick, so "Run loaded" stands for most of a period.
    const QImage beforeTick = screen();
    QVERIFY(QTest::qWaitFor([&] { return differingPixels(screen(), beforeTick, pressureRect) > 0; }, 5000));
    x11::key({"Return"});
    QVERIFY(waitShows("statusLabel", QString(), "Run loaded", "Logging OFF, graph saved", 900));
    // The chart holds the run's points: as the reference window draws the same file.
    probe_->window().loadRun(runPath);
    probe_->setTexts(QString(), "Run loaded", "Logging OFF, graph saved");
    QTest::qWait(100);
    const int loadedDiff = differingPixels(screen(), probe_->image(), chartRect);
    std::printf("loaded chart against the reference: %d pixels differ\n", loadedDiff);
    QVERIFY(loadedDiff >= 0 && loadedDiff < chartRect.width() * chartRect.height() / 100);
    QVERIFY(differingPixels(screen(), afterStop, chartRect) > 0);

    // Exit.
    clickOn("exitButton", QString(), QString(), "Logging OFF, graph saved");
    QVERIFY2(tool_.waitForFinished(10000), "Exit did not end the program");
    QCOMPARE(tool_.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool_.exitCode(), 0);
}

void WindowTest::closingTheWindowEndsWithZero()
{
    startTool();
    x11::focus(window_);
    const int index = probe_->adapterIndex(masterInterface());
    QVERIFY(index >= 0);
    // Connected first, so that closing also takes a live link down.
    clickOn("connectButton", "---- mbar", "Disconnected", "Logging OFF");
    QVERIFY(waitShows("statusLabel", QString(), "Connected, valid pressure", "Logging OFF", 20000));
    // The window as it is now (its X window may have been replaced since start-up).
    const QString listed = x11::xdotool({"search", "--onlyvisible", "--pid", QString::number(tool_.processId()),
                                         "--name", "^MainWindow$"}).trimmed();
    std::printf("visible windows of the tool before closing: %s\n", qPrintable(QString(listed).replace('\n', ' ')));
    window_ = x11::findWindow(tool_.processId(), "MainWindow");
    // On an X server without a window manager, Qt now and then lets a first
    // WM_DELETE_WINDOW pass unanswered (a bare QMainWindow does the same, with
    // or without OpenGL); a person would click the close button again, and so
    // does this test, a few times at most.
    bool ended = false;
    for (int request = 1; request <= 4 && !ended; ++request) {
        QVERIFY(x11::requestClose(window_));
        ended = tool_.waitForFinished(3000);
        if (!ended)
            std::printf("close request %d went unanswered\n", request);
    }
    if (!ended)
        std::printf("window still listed: \"%s\"\n", qPrintable(x11::xdotool({"search", "--pid", QString::number(tool_.processId()), "--name", "MainWindow"}).trimmed()));
    QVERIFY2(ended, "closing the window did not end the program");
    QCOMPARE(tool_.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool_.exitCode(), 0);
}

int main(int argc, char **argv)
{
    if (!insideNamespace()) {
        std::fprintf(stderr, "SKIP: %s\n", kNeedsNamespace);
        return 77;
    }
    Xvfb x;
    QString why;
    if (!x.start("1700x700x24", &why)) {
        std::fprintf(stderr, "cannot start Xvfb: %s\n", qPrintable(why));
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    int rc = 0;
    {
        QApplication app(argc, argv);
        WindowTest test;
        rc = QTest::qExec(&test, argc, argv);
    }
    x.stop();
    return rc;
}

#include "tst_e2e_window.moc"
