// The acquisition rule: the ticks up to a display tick, counted as every
// program counts them, and what that display tick decides; the reconnect's
// result; the texts, translated in the window's context; the tick counter.
#include "acquisition_rule.h"
#include "message_capture.h"
#include "rule_texts.h"
#include "tick_counter.h"

#include <QTranslator>
#include <QtTest>

#include <climits>
#include <vector>

using acquisition::Exchange;
using acquisition::Status;
using Ticks = std::vector<Exchange>;
Q_DECLARE_METATYPE(Ticks)

namespace {

// Readings that came back on a healthy link: slave 1 in OP, working counter 1.
Exchange valid(float raw = 101325.0f) { return {1, 8, 1, 1, raw, 1, 0, 0}; }
Exchange invalid(float raw = 0.0f, int over = 0, int under = 0) { return {1, 8, 1, 1, raw, 0, over, under}; }
// No frame came back.
Exchange failed() { return {1, 8, 1, 0}; }
// The same reading with the link's check failed.
Exchange unhealthy(Exchange x, int state, int wkc)
{
    x.checkOk = 0;
    x.state = state;
    x.wkc = wkc;
    return x;
}

// Gives each text as "[context] source", the issue's two fields swapped.
class ContextTranslator : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        const bool issue = QByteArray(source).startsWith("EtherCAT issue");
        return QStringLiteral("[") + QLatin1String(context) + QStringLiteral("] ")
               + (issue ? QStringLiteral("WKC=%2 state=0x%1") : QString::fromLatin1(source));
    }
};

} // namespace

class TestAcquisitionRule : public QObject
{
    Q_OBJECT

private slots:
    void displayTick_data();
    void displayTick();
    void afterReconnect_data();
    void afterReconnect();
    void textsAreTheWindowsToTranslate();
    void tickCounter_data();
    void tickCounter();
};

// Each row: the invalid-run count before, the ticks up to and including a
// display tick; then the count after them and what the display tick decides
// (mbar: none without a reading; debug: the qDebug line, if any).
void TestAcquisitionRule::displayTick_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<Ticks>("ticks");
    QTest::addColumn<int>("after");
    QTest::addColumn<QVariant>("mbar");
    QTest::addColumn<bool>("record");
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("debug");

    const Exchange i = invalid();
    const QString good = QStringLiteral("Connected, valid pressure");
    const QString bad = QStringLiteral("Connected, pressure invalid");
    const QString badLine = QStringLiteral("INVALID PRESSURE pressure= 0 valid= 0 over= 0 under= 0");
    const QString none;
    QTest::newRow("valid on a healthy link: recorded, raw / 100")
        << 3 << Ticks{valid(98765.0f)} << 0 << QVariant(987.65) << true << false << good << none;
    QTest::newRow("invalid, over range") << 0 << Ticks{invalid(1.5f, 1, 0)} << 1 << QVariant(0.015) << false
                                         << false << bad << "INVALID PRESSURE pressure= 1.5 valid= 0 over= 1 under= 0";
    QTest::newRow("invalid, under range, the raw float")
        << 0 << Ticks{invalid(-2.25f, 0, 1)} << 1 << QVariant(-0.0225) << false << false << bad
        << "INVALID PRESSURE pressure= -2.25 valid= 0 over= 0 under= 1";
    QTest::newRow("valid in SAFE-OP, first check after a connect")
        << 0 << Ticks{unhealthy(valid(), 4, 0)} << 0 << QVariant(1013.25) << false << false
        << "EtherCAT issue: state=0x4 WKC=0" << "ETHERCAT ISSUE state= 4 wkc= 0";
    QTest::newRow("error state, no frame before: hex state, signed wkc")
        << 0 << Ticks{unhealthy(valid(2000.0f), 0x18, -1)} << 0 << QVariant(20.0) << false << false
        << "EtherCAT issue: state=0x18 WKC=-1" << "ETHERCAT ISSUE state= 24 wkc= -1";
    QTest::newRow("invalid on an unhealthy link: the link's issue")
        << 0 << Ticks{unhealthy(i, 2, 0)} << 1 << QVariant(0.0) << false << false
        << "EtherCAT issue: state=0x2 WKC=0" << "ETHERCAT ISSUE state= 2 wkc= 0";
    QTest::newRow("read failed: nothing decided, the run kept")
        << 6 << Ticks{failed()} << 6 << QVariant() << false << false << "EtherCAT read failed" << none;
    QTest::newRow("four invalid in a row: no reconnect")
        << 0 << Ticks{valid(), i, i, i, i} << 4 << QVariant(0.0) << false << false << bad << badLine;
    QTest::newRow("the fifth reconnects, without a debug line")
        << 0 << Ticks{valid(), i, i, i, i, invalid(7000.0f)} << 5 << QVariant(70.0) << false << true << bad << none;
    QTest::newRow("invalid on an unhealthy link counts too")
        << 4 << Ticks{unhealthy(i, 4, 1)} << 5 << QVariant(0.0) << false << true << "EtherCAT issue: state=0x4 WKC=1"
        << none;
    QTest::newRow("a valid reading starts the run again")
        << 0 << Ticks{i, i, i, i, valid(), i, i} << 2 << QVariant(0.0) << false << false << bad << badLine;
    QTest::newRow("failed reads neither count nor end the run")
        << 0 << Ticks{valid(), i, i, failed(), i, failed(), i, i} << 5 << QVariant(0.0) << false << true << bad << none;
    QTest::newRow("a failed read on the display tick: no reconnect")
        << 0 << Ticks{i, i, i, i, i, i, failed()} << 6 << QVariant() << false << false << "EtherCAT read failed"
        << none;
    QTest::newRow("a run kept by a failed reconnect reconnects again")
        << 5 << Ticks{i} << 6 << QVariant(0.0) << false << true << bad << none;
    QTest::newRow("the count stops at INT_MAX") << INT_MAX << Ticks{i} << INT_MAX << QVariant(0.0) << false << true
                                                << bad << none;
}

void TestAcquisitionRule::displayTick()
{
    QFETCH(int, before);
    QFETCH(Ticks, ticks);
    QFETCH(QVariant, mbar);
    QFETCH(QString, debug);
    int count = before;
    for (const Exchange &x : ticks)
        count = acquisition::countInvalid(count, x);
    QTEST(count, "after");

    testsupport::MessageCapture capture;
    const acquisition::Outcome o = acquisition::decide(ticks.back(), count);
    acquisition::emitDebug(o.debug);
    QCOMPARE(o.reading, mbar.isValid());
    QCOMPARE(o.mbar, o.reading ? mbar.toDouble() : 0.0);
    QTEST(o.record, "record");
    QTEST(acquisition::isGoodReading(ticks.back()), "record");
    QTEST(o.reconnect, "reconnect");
    QTEST(acquisition::statusText(o), "status");
    QCOMPARE(capture.messages(QtDebugMsg), debug.isEmpty() ? QStringList() : QStringList{debug});
}

void TestAcquisitionRule::afterReconnect_data()
{
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("before");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("after");
    QTest::newRow("back up: the run starts again") << true << 7 << "Reconnected" << 0;
    QTest::newRow("failed: the run is kept") << false << 5 << "Reconnect failed" << 5;
}

void TestAcquisitionRule::afterReconnect()
{
    QFETCH(bool, connected);
    QFETCH(int, before);
    const acquisition::AfterReconnect r = acquisition::afterReconnect(connected, before);
    QTEST(acquisition::statusText(r.status), "status");
    QTEST(r.invalidCount, "after");
}

// The status texts stay the window's to translate, in its context; the
// issue's fields are filled in after the translation, by number.
void TestAcquisitionRule::textsAreTheWindowsToTranslate()
{
    QCOMPARE(acquisition::statusText(Status::AutoReconnecting), QStringLiteral("Auto reconnecting..."));
    ContextTranslator translator;
    QVERIFY(QCoreApplication::installTranslator(&translator));
    for (Status s : {Status::ReadFailed, Status::ValidPressure, Status::PressureInvalid, Status::AutoReconnecting,
                     Status::Reconnected, Status::ReconnectFailed})
        QCOMPARE(acquisition::statusText(s),
                 QStringLiteral("[MainWindow] ") + QLatin1String(acquisition::statusSource(s)));
    QCOMPARE(acquisition::statusText(acquisition::decide(unhealthy(valid(), 0x14, 3), 0)),
             QStringLiteral("[MainWindow] WKC=3 state=0x14"));
    QCoreApplication::removeTranslator(&translator);
}

void TestAcquisitionRule::tickCounter_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("next");
    QTest::addColumn<bool>("display");
    QTest::newRow("the first tick") << 0 << 1 << false;
    QTest::newRow("the hundredth is a display tick") << 99 << 100 << true;
    QTest::newRow("the wrap point, a display tick") << tick_counter::kLastTick - 1 << 2147483600 << true;
    QTest::newRow("after it 1: the next display 100 ticks on") << tick_counter::kLastTick << 1 << false;
    QTest::newRow("a negative count starts again") << -7 << 1 << false;
}

void TestAcquisitionRule::tickCounter()
{
    QFETCH(int, count);
    const int next = tick_counter::next(count);
    QTEST(next, "next");
    QTEST(tick_counter::isDisplayTick(next), "display");
}

QTEST_GUILESS_MAIN(TestAcquisitionRule)
#include "tst_acquisition_rule.moc"
