// The Connect action and the acquisition tick against the scripted link.
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

#include <cmath>
#include <limits>

using namespace testsupport;
using fakelink::failedRead;
using fakelink::invalidReading;
using fakelink::validReading;

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
    void firstConnectedTickSeesWkcZero();

    // Tick: the outcome table, row by row
    void rowReadFailed();
    void rowReconnect();
    void rowValid();
    void rowInvalid();
    void rowLinkIssue();
    void linkIssueWithNegativeWkc();

    // Invalid-reading run and the automatic reconnect
    void fourInvalidDoNotReconnect();
    void fiveInvalidReconnect();
    void validReadingRestartsRun();
    void failedReadsNeitherCountNorReset();
    void failedReadOnDisplayTickDecidesNothing();
    void reconnectUsesNewSelection();
    void reconnectFailure();
    void invalidCountSurvivesFailedReconnectAndConnect();

    // Texts
    void pressureLabelFormat_data();
    void pressureLabelFormat();
    void invalidDebugMessage();
    void issueDebugMessage();

    // Logged point and chart
    void loggedPointWritesRecordAndPoint();
    void noPointWhenNotLogging();
    void noPointWhenRunFileClosed();
    void noPointWhenCheckFailedOrInvalid();
    void slidingXRange();
    void yMaximumGrows();

    // Tick counter
    void tickCountWrapKeepsDisplayPeriod();

private:
    void connectTo(const char *name = "eth0");
    void tickTo(int target);  // ticks until tickCount == target
    void runUpToDisplayTick(const std::vector<fakelink::Read> &reads);
    void openRunFile();

    std::unique_ptr<MainWindow> w;
    std::unique_ptr<QTemporaryDir> dir;
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
// tick, and runs the ticks up to and including that display tick.
void TestAcquisition::runUpToDisplayTick(const std::vector<fakelink::Read> &reads)
{
    const int nextDisplay = (tickCount / 100 + 1) * 100;
    tickTo(nextDisplay - int(reads.size()));
    fakelink::queueReads(reads);
    tickTo(nextDisplay);
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
    connectTo();
    w->ui->statusLabel->setText("marker");
    fakelink::queueReads({invalidReading(), failedRead(), validReading(5000.0f)});
    tickTo(99);
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

void TestAcquisition::firstConnectedTickSeesWkcZero()
{
    tickTo(99);
    connectTo();
    w->onTimerTick();
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT issue: state=0x8 WKC=0"));
}

// ---- outcome table ----

void TestAcquisition::rowReadFailed()
{
    MessageCapture capture;
    connectTo();
    openRunFile();
    tickTo(99);
    w->ui->pressureLabel->setText("old");
    fakelink::queueRead(failedRead(0));
    w->onTimerTick();
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("old"));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT read failed"));
    QVERIFY(capture.messages(QtDebugMsg).isEmpty());
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(runFile.size(), 0);
    QVERIFY(connected);
    QCOMPARE(fakelink::disconnectCount(), 0);
}

void TestAcquisition::rowReconnect()
{
    MessageCapture capture;
    connectTo();
    openRunFile();
    fakelink::clearCalls();
    runUpToDisplayTick(std::vector<fakelink::Read>(6, invalidReading(7000.0f)));
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("70.000 mbar"));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
    const std::vector<std::string> tail(fakelink::calls().end() - 4, fakelink::calls().end());
    QCOMPARE(tail, (std::vector<std::string>{"check", "read", "disconnect", "connect:eth0"}));
    QVERIFY(connected);
    QCOMPARE(invalidCount, 0);
    QVERIFY(capture.messages(QtDebugMsg).isEmpty());
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(runFile.size(), 0);
}

void TestAcquisition::rowValid()
{
    MessageCapture capture;
    connectTo();
    runUpToDisplayTick({validReading(98765.0f)});
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("987.650 mbar"));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"));
    QVERIFY(capture.messages(QtDebugMsg).isEmpty());
    QCOMPARE(invalidCount, 0);
}

void TestAcquisition::rowInvalid()
{
    MessageCapture capture;
    connectTo();
    openRunFile();
    runUpToDisplayTick({invalidReading(1.5f, 1, 0)});
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("0.015 mbar"));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, pressure invalid"));
    QCOMPARE(capture.messages(QtDebugMsg),
             QStringList{"INVALID PRESSURE pressure= 1.5 valid= 0 over= 1 under= 0"});
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(runFile.size(), 0);
}

void TestAcquisition::rowLinkIssue()
{
    MessageCapture capture;
    connectTo();
    openRunFile();
    tickTo(99);
    fakelink::queueChecks({fakelink::Check{4, -1}});
    w->onTimerTick();
    QCOMPARE(w->ui->pressureLabel->text(), QStringLiteral("1013.250 mbar"));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT issue: state=0x4 WKC=1"));
    QCOMPARE(capture.messages(QtDebugMsg), QStringList{"ETHERCAT ISSUE state= 4 wkc= 1"});
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(runFile.size(), 0);
    QVERIFY(connected);
}

void TestAcquisition::linkIssueWithNegativeWkc()
{
    MessageCapture capture;
    connectTo();
    fakelink::queueReads({failedRead(-1), failedRead(-1)});
    tickTo(98);  // the two failed reads, then defaults
    fakelink::queueRead(failedRead(-1));
    w->onTimerTick();  // 99: fails, wkc -1
    fakelink::queueChecks({fakelink::Check{0x18, -1}});
    w->onTimerTick();  // 100: its check sees -1 and the error state
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT issue: state=0x18 WKC=-1"));
    QCOMPARE(capture.messages(QtDebugMsg), QStringList{"ETHERCAT ISSUE state= 24 wkc= -1"});
}

// ---- invalid run and reconnect ----

void TestAcquisition::fourInvalidDoNotReconnect()
{
    connectTo();
    runUpToDisplayTick({validReading(100.0f), invalidReading(), invalidReading(), invalidReading(),
                        invalidReading()});
    QCOMPARE(invalidCount, 4);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, pressure invalid"));
    QCOMPARE(fakelink::disconnectCount(), 0);
    // Invalid readings go on: the next display tick reconnects.
    fakelink::setDefaultRead(invalidReading());
    tickTo(200);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
    QCOMPARE(fakelink::disconnectCount(), 1);
}

void TestAcquisition::fiveInvalidReconnect()
{
    connectTo();
    runUpToDisplayTick({validReading(100.0f), invalidReading(), invalidReading(), invalidReading(),
                        invalidReading(), invalidReading()});
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
    QCOMPARE(fakelink::disconnectCount(), 1);
    QCOMPARE(fakelink::connectCount(), 2);
    QCOMPARE(invalidCount, 0);
}

void TestAcquisition::validReadingRestartsRun()
{
    connectTo();
    runUpToDisplayTick({invalidReading(), invalidReading(), invalidReading(), invalidReading(),
                        validReading(100.0f), invalidReading(), invalidReading()});
    QCOMPARE(invalidCount, 2);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, pressure invalid"));
    QCOMPARE(fakelink::disconnectCount(), 0);
}

void TestAcquisition::failedReadsNeitherCountNorReset()
{
    connectTo();
    runUpToDisplayTick({validReading(100.0f), invalidReading(), invalidReading(), failedRead(0),
                        invalidReading(), failedRead(-1), invalidReading(), invalidReading()});
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
    QCOMPARE(fakelink::disconnectCount(), 1);
}

void TestAcquisition::failedReadOnDisplayTickDecidesNothing()
{
    connectTo();
    runUpToDisplayTick({invalidReading(), invalidReading(), invalidReading(), invalidReading(),
                        invalidReading(), invalidReading(), failedRead(-1)});
    QCOMPARE(invalidCount, 6);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT read failed"));
    QCOMPARE(fakelink::disconnectCount(), 0);
}

void TestAcquisition::reconnectUsesNewSelection()
{
    connectTo("eth0");
    w->ui->adapterComboBox->setCurrentIndex(1);
    runUpToDisplayTick(std::vector<fakelink::Read>(5, invalidReading()));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnected"));
    QCOMPARE(fakelink::connectNames(), (std::vector<std::string>{"eth0", "eth1"}));
}

void TestAcquisition::reconnectFailure()
{
    connectTo();
    fakelink::queueConnectResults({0});
    runUpToDisplayTick(std::vector<fakelink::Read>(5, invalidReading()));
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnect failed"));
    QVERIFY(!connected);
    QCOMPARE(invalidCount, 5);
    // No further attempt: ticks no longer read.
    const int reads = fakelink::readCount();
    tickTo(300);
    QCOMPARE(fakelink::readCount(), reads);
    QCOMPARE(fakelink::connectCount(), 2);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Reconnect failed"));
}

void TestAcquisition::invalidCountSurvivesFailedReconnectAndConnect()
{
    connectTo();
    fakelink::queueConnectResults({0});
    runUpToDisplayTick(std::vector<fakelink::Read>(5, invalidReading()));
    QVERIFY(!connected);
    w->ui->connectButton->click();
    QVERIFY(connected);
    QCOMPARE(invalidCount, 5);
    // Still invalid: the first display tick with a good read reconnects.
    fakelink::setDefaultRead(invalidReading());
    tickTo(200);
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

void TestAcquisition::invalidDebugMessage()
{
    MessageCapture capture;
    connectTo();
    runUpToDisplayTick({validReading(1.0f), invalidReading(-2.25f, 0, 1)});
    QCOMPARE(capture.messages(QtDebugMsg),
             QStringList{"INVALID PRESSURE pressure= -2.25 valid= 0 over= 0 under= 1"});
    // Nothing on the ticks in between.
    tickTo(199);
    QCOMPARE(capture.messages(QtDebugMsg).size(), 1);
}

void TestAcquisition::issueDebugMessage()
{
    MessageCapture capture;
    tickTo(99);
    connectTo();
    fakelink::queueChecks({fakelink::Check{4, -1}});
    w->onTimerTick();
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("EtherCAT issue: state=0x4 WKC=0"));
    QCOMPARE(capture.messages(QtDebugMsg), QStringList{"ETHERCAT ISSUE state= 4 wkc= 0"});
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

void TestAcquisition::noPointWhenCheckFailedOrInvalid()
{
    connectTo();
    openRunFile();
    tickTo(99);
    fakelink::queueChecks({fakelink::Check{4, -1}});
    w->onTimerTick();  // check failed, reading valid
    runUpToDisplayTick({invalidReading(101325.0f)});  // check passed, reading invalid
    QCOMPARE(w->series->count(), 0);
    QCOMPARE(w->sampleIndex, 0);
    QCOMPARE(runFile.size(), 0);
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

// ---- tick counter ----

void TestAcquisition::tickCountWrapKeepsDisplayPeriod()
{
    QCOMPARE(tick_counter::kLastTick, 2147483600);
    connectTo();
    w->onTimerTick();  // a first read, so that the checks pass
    tickCount = tick_counter::kLastTick - 1;
    w->ui->statusLabel->setText("marker");
    w->onTimerTick();
    QCOMPARE(tickCount, tick_counter::kLastTick);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"));
    w->ui->statusLabel->setText("marker");
    w->onTimerTick();
    QCOMPARE(tickCount, 1);
    for (int i = 0; i < 98; ++i)
        w->onTimerTick();
    QCOMPARE(tickCount, 99);
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("marker"));
    w->onTimerTick();  // 100 ticks after the last display tick
    QCOMPARE(w->ui->statusLabel->text(), QStringLiteral("Connected, valid pressure"));
}

QTEST_MAIN(TestAcquisition)
#include "tst_acquisition.moc"
