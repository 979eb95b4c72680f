// The real pressure link and master against the simulated sensor, inside the
// private namespace of scripts/netns-run.
#include "pressure_link.h"
#include "sim_process.h"
#include "stderr_capture.h"

#include <QtTest>

#include <cmath>

using testsupport::SimProcess;
using testsupport::StderrCapture;

namespace {

struct Reading {
    int result = -7;
    float pressure = -7.0f;
    int valid = -7, over = -7, under = -7;

    bool operator==(const Reading &o) const
    {
        return result == o.result && pressure == o.pressure && valid == o.valid && over == o.over
               && under == o.under;
    }
};

// How QCOMPARE shows a reading that differs.
char *toString(const Reading &r)
{
    return QTest::toString(QStringLiteral("result %1, pressure %2, valid %3, over %4, under %5")
                               .arg(r.result).arg(double(r.pressure)).arg(r.valid).arg(r.over).arg(r.under));
}

Reading readOnce()
{
    Reading r;
    r.result = ecat_read(&r.pressure, &r.valid, &r.over, &r.under);
    return r;
}

// A read that should succeed. A frame can still be lost now and then on a
// loaded machine (the exchange waits 2 ms), so a few attempts are allowed.
Reading readGood()
{
    Reading r;
    for (int attempt = 0; attempt < 20 && r.result != 1; ++attempt)
        r = readOnce();
    return r;
}

// A read, then the check that follows it, until the check passes (or the
// attempts run out); returns the last check's result.
int readThenCheck(int *state, int *wkc)
{
    int healthy = 0;
    for (int attempt = 0; attempt < 20 && !healthy; ++attempt) {
        readOnce();
        healthy = ecat_check(state, wkc);
    }
    return healthy;
}

}  // namespace

class TestLinkBus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    // Kept first: the working counter is 0 only before the first read.
    void checkBeforeAnyRead();
    void readDecodesImage();
    void flagBitsAboveTwoIgnored();
    void checkHealthyAfterRead();
    void checkWithNullPointers();
    void slaveStuckInSafeOp();
    void opRefusedWithErrorIndication();
    void opWithErrorIndication();
    void silenceGivesMinusOne();
    void shortInputImageRefused();
    void oversizedProcessDataRefused();
    void disconnectThenConnectAgain();
    void connectWhileUpReplacesLink();
    void emptyAndUnknownAdapterNames();
    void disconnectWithNothingOpen();

private:
    void startSim(const QStringList &args);
    void connectUp();

    SimProcess sim;
    QByteArray master;
};

void TestLinkBus::initTestCase()
{
    if (!testsupport::insideNamespace())
        QSKIP(testsupport::kNeedsNamespace);
    master = testsupport::masterInterface().toLocal8Bit();
}

void TestLinkBus::cleanup()
{
    ecat_disconnect();
    sim.stop();
}

void TestLinkBus::startSim(const QStringList &args)
{
    QString error;
    QVERIFY2(sim.start(args, &error), qPrintable(error));
}

void TestLinkBus::connectUp()
{
    QCOMPARE(ecat_connect(master.constData()), 1);
}

void TestLinkBus::checkBeforeAnyRead()
{
    int state = -7, wkc = -7;
    // Before any connect: 0, nothing written.
    QCOMPARE(ecat_check(&state, &wkc), 0);
    QCOMPARE(state, -7);
    QCOMPARE(wkc, -7);

    startSim({"--pressure", "1013.25"});
    connectUp();
    QCOMPARE(ecat_check(&state, &wkc), 0);
    QCOMPARE(state, 8);
    QCOMPARE(wkc, 0);
}

void TestLinkBus::readDecodesImage()
{
    startSim({"--image", "050000C842"});
    connectUp();
    QCOMPARE(readGood(), (Reading{1, 100.0f, 1, 0, 1}));
}

void TestLinkBus::flagBitsAboveTwoIgnored()
{
    startSim({"--image", "F80000C842"});
    connectUp();
    QCOMPARE(readGood(), (Reading{1, 100.0f, 0, 0, 0}));

    QVERIFY(sim.command("image 0366E6F642").startsWith("ok"));  // valid + over, 123.45
    QCOMPARE(readGood(), (Reading{1, 123.45f, 1, 1, 0}));
}

void TestLinkBus::checkHealthyAfterRead()
{
    startSim({"--pressure", "1013.25"});
    connectUp();
    QCOMPARE(readGood(), (Reading{1, 101325.0f, 1, 0, 0}));
    int state = 0, wkc = 0;
    QCOMPARE(readThenCheck(&state, &wkc), 1);
    QCOMPARE(state, 8);
    QVERIFY2(wkc >= 1, qPrintable(QString::number(wkc)));
}

void TestLinkBus::checkWithNullPointers()
{
    startSim({});
    connectUp();
    QCOMPARE(readGood().result, 1);
    QCOMPARE(readThenCheck(nullptr, nullptr), 1);
    int state = 0;
    QCOMPARE(readThenCheck(&state, nullptr), 1);
    QCOMPARE(state, 8);
}

// The state that the check reports after a good read; a state read that
// timed out on a loaded machine reads as 0 and is tried again.
int stateAfterGoodRead()
{
    int state = 0, wkc = 0;
    for (int attempt = 0; attempt < 20 && state == 0; ++attempt) {
        if (readOnce().result == 1 && ecat_check(&state, &wkc) != 0)
            return -1;  // healthy: not what these buses should give
    }
    return state;
}

void TestLinkBus::slaveStuckInSafeOp()
{
    startSim({"--refuse-op", "hold"});
    connectUp();  // OP requested, not reached: still a successful connect
    QCOMPARE(stateAfterGoodRead(), 4);
}

void TestLinkBus::opRefusedWithErrorIndication()
{
    startSim({"--refuse-op", "on"});
    connectUp();
    QCOMPARE(stateAfterGoodRead(), 0x14);  // SAFE-OP with the error indication
}

void TestLinkBus::opWithErrorIndication()
{
    startSim({});
    connectUp();
    QCOMPARE(readGood().result, 1);
    QCOMPARE(readThenCheck(nullptr, nullptr), 1);
    QVERIFY(sim.command("error-state 0x18 0x001B").startsWith("ok"));
    int state = 0, wkc = 0;
    for (int attempt = 0; attempt < 20 && state != 24; ++attempt) {
        readOnce();
        QCOMPARE(ecat_check(&state, &wkc), 0);
    }
    QCOMPARE(state, 24);
}

void TestLinkBus::silenceGivesMinusOne()
{
    startSim({});
    connectUp();
    QCOMPARE(readGood().result, 1);
    QVERIFY(sim.command("silence 30").startsWith("ok"));
    QCOMPARE(readOnce(), Reading{0});  // outputs untouched
    int state = -7, wkc = -7;
    QCOMPARE(ecat_check(&state, &wkc), 0);
    QCOMPARE(wkc, -1);
    QVERIFY(sim.command("silence off").startsWith("ok"));
    QCOMPARE(readGood().result, 1);
    QCOMPARE(readThenCheck(&state, &wkc), 1);
}

void TestLinkBus::shortInputImageRefused()
{
    startSim({"--slaves", "short-sensor"});
    StderrCapture err;
    QCOMPARE(ecat_connect(master.constData()), 0);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("slave 1 has 4 input bytes, expected at least 5"), qPrintable(text));
    QCOMPARE(text.count('\n'), 1);
    int state = -7;
    QCOMPARE(ecat_check(&state, nullptr), 0);
    QCOMPARE(state, -7);
    // The adapter was released: a connect to a good bus works right after.
    sim.stop();
    startSim({});
    connectUp();
    QCOMPARE(readGood().result, 1);
}

void TestLinkBus::oversizedProcessDataRefused()
{
    startSim({"--slaves", "sensor,big-in"});
    StderrCapture err;
    QCOMPARE(ecat_connect(master.constData()), 0);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("more than the 4096-byte image"), qPrintable(text));
    QCOMPARE(text.count('\n'), 1);
    QCOMPARE(ecat_check(nullptr, nullptr), 0);
}

void TestLinkBus::disconnectThenConnectAgain()
{
    startSim({"--pressure", "500"});
    connectUp();
    QCOMPARE(readGood().result, 1);
    ecat_disconnect();
    int state = -7, wkc = -7;
    QCOMPARE(ecat_check(&state, &wkc), 0);
    QCOMPARE(state, -7);
    connectUp();
    QCOMPARE(readGood(), (Reading{1, 50000.0f, 1, 0, 0}));
    QCOMPARE(readThenCheck(&state, &wkc), 1);
    QCOMPARE(state, 8);
}

void TestLinkBus::connectWhileUpReplacesLink()
{
    startSim({});
    connectUp();
    QCOMPARE(readGood().result, 1);
    connectUp();  // the earlier adapter is released first
    QCOMPARE(readGood().result, 1);
    QCOMPARE(readThenCheck(nullptr, nullptr), 1);
    // A failed connect while up leaves the link down.
    StderrCapture err;
    QCOMPARE(ecat_connect("no-such-adapter0"), 0);
    err.text();
    int state = -7;
    QCOMPARE(ecat_check(&state, nullptr), 0);
    QCOMPARE(state, -7);
}

void TestLinkBus::emptyAndUnknownAdapterNames()
{
    StderrCapture err;
    QCOMPARE(ecat_connect(""), 0);
    QCOMPARE(ecat_connect("no-such-adapter0"), 0);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("pressure link: (no adapter name): cannot open"), qPrintable(text));
    QVERIFY2(text.contains("pressure link: no-such-adapter0: cannot open"), qPrintable(text));
    QCOMPARE(ecat_check(nullptr, nullptr), 0);
}

void TestLinkBus::disconnectWithNothingOpen()
{
    ecat_disconnect();
    ecat_disconnect();
    QCOMPARE(ecat_check(nullptr, nullptr), 0);
}

QTEST_GUILESS_MAIN(TestLinkBus)
#include "tst_link_bus.moc"
