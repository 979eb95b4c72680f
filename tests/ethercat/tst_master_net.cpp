// The master over a veth pair against the simulator program. Runs inside
// the private namespace that scripts/netns-run makes.
#include "bring_up.h"
#include "connect_steps.h"
#include "master_fixture.h"
#include "sim_process.h"
#include "stderr_capture.h"

#include <soem/soem.h>

#include <QtTest>

#include <ecwire/le.h>

#include <cstring>
#include <memory>

namespace {

// What a call printed on stderr.
template <typename F>
QString captureStderr(F call)
{
    testsupport::StderrCapture err;
    call();
    return QString::fromStdString(err.text());
}

} // namespace

class TestMasterNet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void adapterListInNamespace();
    void initErrorsNameAdapterAndCause();
    void bringUpToOp();
    void pressureDecoded();
    void silenceGivesNoFrame();
    void dropsLoseSomeExchanges();
    void closeInitCycles();

private:
    bool connectBus();
    QByteArray masterIf_;
    QByteArray simIf_;
    testsupport::SimProcess sim_;
    std::unique_ptr<ecx_contextt> ctx_;
    uint8_t iomap_[4096] = {};
};

void TestMasterNet::initTestCase()
{
    if (!testsupport::insideNamespace())
        QFAIL(testsupport::kNeedsNamespace);
    masterIf_ = testsupport::masterInterface().toLocal8Bit();
    simIf_ = testsupport::simulatorInterface().toLocal8Bit();
    QString error;
    QVERIFY2(sim_.start({"--slaves", "sensor,dig-out"}, &error), qPrintable(error));
    ctx_.reset(new ecx_contextt);
}

void TestMasterNet::cleanupTestCase()
{
    sim_.stop();
}

void TestMasterNet::init()
{
    std::memset(ctx_.get(), 0, sizeof(ecx_contextt));
    std::memset(iomap_, 0, sizeof iomap_);
}

void TestMasterNet::cleanup()
{
    ecx_close(ctx_.get());
    QCOMPARE(sim_.command("silence off"), QString("ok"));
    QCOMPARE(sim_.command("drop 0"), QString("ok"));
    QCOMPARE(sim_.command("image off"), QString("ok"));
}

bool TestMasterNet::connectBus()
{
    ecx_contextt *c = ctx_.get();
    return ecx_init(c, masterIf_.constData()) && bringUpBus(c, iomap_, sizeof iomap_, ecat::kSafeOpTimeoutUs, ecat::kOpTimeoutUs) >= 0;
}

void TestMasterNet::adapterListInNamespace()
{
    ec_adaptert *list = ec_find_adapters();
    QStringList names;
    for (ec_adaptert *a = list; a; a = a->next) {
        names << QString::fromUtf8(a->name);
        QCOMPARE(QString::fromUtf8(a->desc), QString::fromUtf8(a->name));
    }
    ec_free_adapters(list);
    QStringList expected{QString::fromLatin1(masterIf_), QString::fromLatin1(simIf_)};
    expected.sort();
    QCOMPARE(names, expected);
}

void TestMasterNet::initErrorsNameAdapterAndCause()
{
    ecx_contextt *c = ctx_.get();
    int rc = 1;
    QString err = captureStderr([&] { rc = ecx_init(c, "nosuch0"); });
    QCOMPARE(rc, 0);
    QVERIFY2(err.contains("nosuch0") && err.contains("no such adapter"), qPrintable(err));
    QCOMPARE(err.count('\n'), 1);

    err = captureStderr([&] { rc = ecx_init(c, ""); });
    QCOMPARE(rc, 0);
    QVERIFY2(err.contains("empty"), qPrintable(err));

    const std::string longName(140, 'e');
    err = captureStderr([&] { rc = ecx_init(c, longName.c_str()); });
    QCOMPARE(rc, 0);
    QVERIFY2(err.contains("longer than 127"), qPrintable(err));

    err = captureStderr([&] { rc = ecx_init(c, "lo"); });
    QCOMPARE(rc, 0);
    QVERIFY2(err.contains("\"lo\"") && err.contains("not an Ethernet adapter"), qPrintable(err));
    ecx_close(c);
}

void TestMasterNet::bringUpToOp()
{
    QVERIFY(connectBus());
    ecx_contextt *c = ctx_.get();
    QCOMPARE(c->slavecount, 2);
    QCOMPARE(c->slavelist[1].Ibytes, 5u);
    QCOMPARE(c->slavelist[1].inputs, iomap_ + 1);
    QCOMPARE(c->slavelist[2].outputs, iomap_);
    QCOMPARE(expectedWkcOf(c), 3);
    QTRY_COMPARE(ecx_readstate(c), EC_STATE_OPERATIONAL);
    QCOMPARE(c->slavelist[1].state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(exchangeProcessData(c), 3);
}

void TestMasterNet::pressureDecoded()
{
    QCOMPARE(sim_.command("pressure 1013.25"), QString("ok"));
    QVERIFY(connectBus());
    ecx_contextt *c = ctx_.get();
    QCOMPARE(exchangeProcessData(c), 3);
    QCOMPARE(c->slavelist[1].inputs[0] & 0x01, 1);
    QCOMPARE(ecwire::getF32(c->slavelist[1].inputs + 1), 101325.0f);
    QCOMPARE(sim_.command("image 050000C842"), QString("ok"));
    QCOMPARE(exchangeProcessData(c), 3);
    QCOMPARE(c->slavelist[1].inputs[0], uint8_t(0x05));
    QCOMPARE(ecwire::getF32(c->slavelist[1].inputs + 1), 100.0f);
}

void TestMasterNet::silenceGivesNoFrame()
{
    QVERIFY(connectBus());
    ecx_contextt *c = ctx_.get();
    QCOMPARE(sim_.command("silence 30"), QString("ok"));
    QElapsedTimer t;
    t.start();
    ecx_send_processdata(c);
    QCOMPARE(ecx_receive_processdata(c, 2000), EC_NOFRAME);
    // The wait is the timeout: not cut short.
    QVERIFY(t.nsecsElapsed() >= 2000 * 1000);
    QCOMPARE(ecx_readstate(c), EC_STATE_NONE);
    QCOMPARE(c->slavelist[1].state, uint16_t(0));
    QCOMPARE(sim_.command("silence off"), QString("ok"));
    QTRY_COMPARE(ecx_readstate(c), EC_STATE_OPERATIONAL);
    QCOMPARE(exchangeProcessData(c), 3);
}

void TestMasterNet::dropsLoseSomeExchanges()
{
    QVERIFY(connectBus());
    ecx_contextt *c = ctx_.get();
    QCOMPARE(sim_.command("seed 7"), QString("ok"));
    QCOMPARE(sim_.command("drop 0.5"), QString("ok"));
    int lost = 0, good = 0;
    for (int i = 0; i < 100; ++i) {
        const int wkc = exchangeProcessData(c, 50000);
        QVERIFY2(wkc == EC_NOFRAME || wkc == 3, qPrintable(QString::number(wkc)));
        (wkc == EC_NOFRAME ? lost : good)++;
    }
    QVERIFY2(lost > 10 && good > 10, qPrintable(QString("%1 lost, %2 good").arg(lost).arg(good)));
    QCOMPARE(sim_.command("drop 0"), QString("ok"));
    QCOMPARE(exchangeProcessData(c), 3);
}

void TestMasterNet::closeInitCycles()
{
    ecx_contextt *c = ctx_.get();
    for (int cycle = 0; cycle < 5; ++cycle) {
        std::memset(c, 0, sizeof(ecx_contextt));
        QVERIFY(connectBus());
        QCOMPARE(exchangeProcessData(c), 3);
        c->slavelist[0].state = EC_STATE_INIT;
        ecx_writestate(c, 0);
        ecx_close(c);
        ecx_close(c);
    }
}

QTEST_GUILESS_MAIN(TestMasterNet)
#include "tst_master_net.moc"
