// The Connect action and the acquisition tick against the scripted link:
// how the window carries out the acquisition rule (its labels, debug
// messages, record, chart, disconnect and connect, in the window's order).
// The rule's own cases (the invalid-run count, each outcome's texts, the tick
// counter) are tested once, in tests/acquisition.
#include "message_capture.h"
#include "window_fixture.h"
#include "tick_counter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <limits>
#include <string>
#include <vector>

using namespace testsupport;
using fakelink::failedRead;
using fakelink::invalidReading;
using fakelink::validReading;
using Reads = std::vector<fakelink::Read>;
using Checks = std::vector<fakelink::Check>;
using Calls = std::vector<std::string>;
Q_DECLARE_METATYPE(Reads)
Q_DECLARE_METATYPE(Checks)
Q_DECLARE_METATYPE(Calls)

class TestAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    // Connect action
    void connectSuccess();
    void connectFailure();
    void connectWithEmptyList();
    void connectWhileConnectedCallsConnectOnly();
    void connectKeepsCounters();

    // Tick: every tick
    void checkBeforeConnectedTestAndRead();
    void nonDisplayTicksChangeNothingVisible();
    void checkSeesPreviousReadsWkc();
    void tickCountWraps();

    // Tick: each outcome of a display tick on the window
    void displayTickOutcome_data();
    void displayTickOutcome();

    // The automatic reconnect
    void reconnectUsesNewSelection();
    void reconnectFailureKeepsTheRun();

    // Texts
    void pressureLabelFormat_data();
    void pressureLabelFormat();

    // Logged point and chart
    void loggedPointWritesRecordAndPoint();
    void noPointWhenNotLogging();
    void noPointWhenRunFileClosed();
    void slidingXRange();
    void yMaximumGrows();

private:
    void connectTo(const char *name = "eth0");
    void tickTo(int target);  // ticks until tickCount == target
    void runUpToDisplayTick(const Reads &reads, const Checks &checks = {});
    void openRunFile();

    std::unique_ptr<MainWindow> w;
    std::unique_ptr<QTemporaryDir> dir;
    std::size_t displayTickCallsFrom = 0;  // the last display tick's first call
};

void TestAcquisition::init()
{
    resetAppState();
    fakelink::setAdapters({{"eth0", "First adapter"}, {"eth1", "Second adapter"}});
    w = quietWindow();
    fakelink::clearCalls();
}

void TestAcquisition::cleanup()
{
    w.reset();
    resetAppState();
    dir.reset();
}

void TestAcquisition::connectTo(const char *name)
{
    const int index = w->ui->adapterComboBox->findData(QString(name), Qt::UserRole);
    QVERIFY(index >= 0);
    w->ui->adapterComboBox->setCurrentIndex(index);
    w->ui->connectButton->click();
    QVERIFY(connected);
}

void TestAcquisition::tickTo(int target)
{
    while (tickCount != target)
        w->onTimerTick();
}

// Queues `reads` so that the last of them is the read of the next display
// tick, and `checks` for that tick's own check, and runs the ticks up to and
// including that display tick.
void TestAcquisition::runUpToDisplayTick(const Reads &reads, const Checks &checks)
{
    const int nextDisplay = (tickCount / 100 + 1) * 100;
    tickTo(nextDisplay - int(reads.size()));
    fakelink::queueReads(reads);
    tickTo(nextDisplay - 1);
    fakelink::queueChecks(checks);
    displayTickCallsFrom = fakelink::calls().size();
    w->onTimerTick();
    QCOMPARE(tickCount, nextDisplay);
    QCOMPARE(fakelink::pendingReads(), std::size_t(0));
}

void TestAcquisition::openRunFile()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    runFile.setFileName(dir->filePath("run_pressure.csv"));
    QVERIFY(runFile.open(QIODevice::WriteOnly | QIODevice::Text));
    runStartTime = QDateTime::currentDateTime();
    loggingEnabled = true;
}

// ---- Connect action ----

void TestAcquisition::connectSuccess()
{
    w->ui->adapterComboBox->setCurrentIndex(1);
    w->ui->connectButton->click();
    QVERIFY(connected);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected"));
    QCOMPARE(fakelink::connectNames(), std::vector<std::string>{"eth1"});
    QCOMPARE(fakelink::calls(), std::vector<std::string>{"connect:eth1"});
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("---- mbar"));
}

void TestAcquisition::connectFailure()
{
    fakelink::queueConnectResults({0});
    w->ui->connectButton->click();
    QVERIFY(!connected);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connection failed"));
    // Not connected: ticks do not read.
    tickTo(100);
    QCOMPARE(fakelink::readCount(), 0);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connection failed"));
}

void TestAcquisition::connectWithEmptyList()
{
    w.reset();
    fakelink::setAdapters({});
    w = quietWindow();
    fakelink::clearCalls();
    fakelink::queueConnectResults({0});
    w->ui->connectButton->click();
    QCOMPARE(fakelink::connectNames(), std::vector<std::string>{""});
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connection failed"));
}

void TestAcquisition::connectWhileConnectedCallsConnectOnly()
{
    connectTo("eth0");
    fakelink::queueConnectResults({0});
    w->ui->connectButton->click();
    QVERIFY(!connected);
    QCOMPARE(fakelink::calls(), (std::vector<std::string>{"connect:eth0", "connect:eth0"}));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connection failed"));
}

void TestAcquisition::connectKeepsCounters()
{
    tickCount = 42;
    invalidCount = 3;
    connectTo();
    QCOMPARE(tickCount, 42);
    QCOMPARE(invalidCount, 3);
}

// ---- every tick ----

void TestAcquisition::checkBeforeConnectedTestAndRead()
{
    w->onTimerTick();
    QCOMPARE(fakelink::calls(), std::vector<std::string>{"check"});
    connectTo();
    fakelink::clearCalls();
    w->onTimerTick();
    QCOMPARE(fakelink::calls(), (std::vector<std::string>{"check", "read"}));
    QCOMPARE(tickCount, 2);
}

void TestAcquisition::nonDisplayTicksChangeNothingVisible()
{
    MessageCapture capture;
    connectTo();
    w->ui->statusLabel->setText("marker");
    fakelink::queueReads({invalidReading(), failedRead(), validReading(5000.0f)});
    fakelink::queueChecks({fakelink::Check{4, -1}});
    tickTo(99);
    QVERIFY(capture.messages(QtDebugMsg).isEmpty());
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("marker"));
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("---- mbar"));
    QCOMPARE(fakelink::readCount(), 99);
    w->onTimerTick();
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"));
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("1013.250 mbar"));
}

void TestAcquisition::checkSeesPreviousReadsWkc()
{
    connectTo();
    // The exchange before the display tick failed with no frame back; the
    // display tick's own read is good but its check still sees -1.
    runUpToDisplayTick({validReading(1000.0f), failedRead(-1), validReading(2000.0f)});
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT issue: state=0x8 WKC=-1"));
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("20.000 mbar"));
    // The next display tick sees the good read before it.
    tickTo(200);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"));
}

void TestAcquisition::tickCountWraps()
{
    tickCount = tick_counter::kLastTick;
    w->onTimerTick();
    QCOMPARE(tickCount, 1);
}

// ---- each outcome ----

// A display tick with a logging run on; the pressure label shows "old"
// before it. `calls` are the display tick's calls into the link.
void TestAcquisition::displayTickOutcome_data()
{
    QTest::addColumn<Reads>("reads");
    QTest::addColumn<Checks>("checks");
    QTest::addColumn<QString>("pressure");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("debug");
    QTest::addColumn<int>("points");
    QTest::addColumn<Calls>("calls");

    const Calls checkRead{"check", "read"};
    QTest::newRow("read failed") << Reads{failedRead(0)} << Checks{} << "old" << "EtherCAT read failed"
                                 << QStringList() << 0 << checkRead;
    QTest::newRow("reconnect") << Reads(6, invalidReading(7000.0f)) << Checks{} << "70.000 mbar" << "Reconnected"
                               << QStringList() << 0 << Calls{"check", "read", "disconnect", "connect:eth0"};
    QTest::newRow("valid") << Reads{validReading(98765.0f)} << Checks{} << "987.650 mbar"
                           << "Connected, valid pressure" << QStringList() << 1 << checkRead;
    QTest::newRow("invalid") << Reads{invalidReading(1.5f, 1, 0)} << Checks{} << "0.015 mbar"
                             << "Connected, pressure invalid"
                             << QStringList{"INVALID PRESSURE pressure= 1.5 valid= 0 over= 1 under= 0"} << 0
                             << checkRead;
    QTest::newRow("link issue") << Reads{validReading(101325.0f)} << Checks{fakelink::Check{4, -1}}
                                << "1013.250 mbar" << "EtherCAT issue: state=0x4 WKC=1"
                                << QStringList{"ETHERCAT ISSUE state= 4 wkc= 1"} << 0 << checkRead;
}

void TestAcquisition::displayTickOutcome()
{
    QFETCH(Reads, reads);
    QFETCH(Checks, checks);
    MessageCapture capture;
    connectTo();
    openRunFile();
    w->ui->pressureLabel->setText("old");
    runUpToDisplayTick(reads, checks);
    QTEST(w->ui->pressureLabel->text(), "pressure");
    QTEST(w->ui->statusLabel->text(), "status");
    QTEST(capture.messages(QtDebugMsg), "debug");
    QTEST(int(w->series->count()), "points");
    QFETCH(int, points);
    QCOMPARE(runFile.size() > 0, points > 0);
    const std::vector<std::string> calls(fakelink::calls().begin() + long(displayTickCallsFrom),
                                         fakelink::calls().end());
    QTEST(calls, "calls");
    QVERIFY(connected);
}

// ---- the automatic reconnect ----

void TestAcquisition::reconnectUsesNewSelection()
{
    connectTo("eth0");
    w->ui->adapterComboBox->setCurrentIndex(1);
    runUpToDisplayTick(Reads(5, invalidReading()));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
    QCOMPARE(fakelink::connectNames(), (std::vector<std::string>{"eth0", "eth1"}));
    QVERIFY(connected);
    QCOMPARE(invalidCount, 0);
}

// A failed reconnect leaves the window not connected, with no further
// attempt; the run of invalid readings is kept through it and through the
// operator's Connect, so the next display tick with a read reconnects.
void TestAcquisition::reconnectFailureKeepsTheRun()
{
    connectTo();
    fakelink::queueConnectResults({0});
    runUpToDisplayTick(Reads(5, invalidReading()));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnect failed"));
    QVERIFY(!connected);
    QCOMPARE(invalidCount, 5);
    const int reads = fakelink::readCount();
    tickTo(300);
    QCOMPARE(fakelink::readCount(), reads);
    QCOMPARE(fakelink::connectCount(), 2);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnect failed"));

    w->ui->connectButton->click();
    QVERIFY(connected);
    QCOMPARE(invalidCount, 5);
    fakelink::setDefaultRead(invalidReading());
    tickTo(400);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
}

// ---- texts ----

void TestAcquisition::pressureLabelFormat_data()
{
    QTest::addColumn<float>("raw");
    QTest::addColumn<QString>("text");
    QTest::newRow("987.5") << 987.5f << "9.875 mbar";
    QTest::newRow("zero") << 0.0f << "0.000 mbar";
    QTest::newRow("negative") << -50.0f << "-0.500 mbar";
    QTest::newRow("large") << 123456789.0f << "1234567.920 mbar";  // the float is 123456792;
    QTest::newRow("atmosphere") << 101325.0f << "1013.250 mbar";
}

void TestAcquisition::pressureLabelFormat()
{
    QFETCH(float, raw);
    QFETCH(QString, text);
    connectTo();
    runUpToDisplayTick({validReading(raw)});
    QCOMPARE(w->ui->pressureLabel->text(), text);
}

// ---- logged point ----

void TestAcquisition::loggedPointWritesRecordAndPoint()
{
    connectTo();
    openRunFile();
    runUpToDisplayTick({validReading(101325.0f)});
    QCOMPARE(w->series->count(), 1);
    QCOMPARE(w->series->at(0), QPointF(0.0, 1013.25));
    QCOMPARE(w->sampleIndex, 1);
    QCOMPARE(w->axisX->min(), 0.0);
    QCOMPARE(w->axisX->max(), 60.0);
    QCOMPARE(w->axisY->max(), 1200.0);
    runFile.close();
    QVERIFY(runFile.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString content = QString::fromUtf8(runFile.readAll());
    static const QRegularExpression record(
        R"(^\d{4}-\d{2}-\d{2};\d{2}:\d{2}:\d{2};\d+\.\d{3};1013.25\n$)");
    QVERIFY2(record.match(content).hasMatch(), qPrintable(content));
}

void TestAcquisition::noPointWhenNotLogging()
{
    connectTo();
    runUpToDisplayTick({validReading(101325.0f)});
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(w->sampleIndex, 0);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"));
}

void TestAcquisition::noPointWhenRunFileClosed()
{
    connectTo();
    loggingEnabled = true;
    runUpToDisplayTick({validReading(101325.0f)});
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("1013.250 mbar"));
}

void TestAcquisition::slidingXRange()
{
    connectTo();
    openRunFile();
    fakelink::setDefaultRead(validReading(50000.0f));
    tickTo(6000);  // 60 logged points
    QCOMPARE(w->sampleIndex, 60);
    QCOMPARE(w->axisX->min(), 0.0);
    QCOMPARE(w->axisX->max(), 60.0);
    tickTo(6100);  // the 61st goes to x = 60
    QCOMPARE(w->series->count(), 61);
    QCOMPARE(w->series->at(60).x(), 60.0);
    QCOMPARE(w->sampleIndex, 61);
    QCOMPARE(w->axisX->min(), 1.0);
    QCOMPARE(w->axisX->max(), 61.0);
}

void TestAcquisition::yMaximumGrows()
{
    connectTo();
    openRunFile();
    runUpToDisplayTick({validReading(120000.0f)});  // equal to the maximum
    QCOMPARE(w->axisY->max(), 1200.0);
    runUpToDisplayTick({validReading(std::numeric_limits<float>::quiet_NaN())});
    QCOMPARE(w->axisY->max(), 1200.0);
    runUpToDisplayTick({validReading(-5000.0f)});
    QCOMPARE(w->axisY->min(), 0.0);
    runUpToDisplayTick({validReading(125000.0f)});
    QCOMPARE(w->axisY->max(), 1300.0);
    runUpToDisplayTick({validReading(100000.0f)});  // never lowered
    QCOMPARE(w->axisY->max(), 1300.0);
    QCOMPARE(w->sampleIndex, 5);
    QCOMPARE(w->series->count(), 4);  // the series itself drops the NaN point
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
