// Every device kind and option of the simulator program over a veth pair
// (inside scripts/netns-run): the bus reaches OP with the process-data sizes
// each device's description gives, and exchanges with the working counter
// the master expects.
#include "bring_up.h"
#include "connect_steps.h"
#include "device_kinds.h"
#include "master_fixture.h"
#include "device_sizes.h"
#include "sim_process.h"

#include <soem/soem.h>

#include <ecwire/le.h>

#include <QtTest>

#include <cstring>
#include <memory>

class TestMasterKindsNet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void reachesOpWithDescribedSizes_data() { addDeviceKindRows(); }
    void reachesOpWithDescribedSizes();
};

void TestMasterKindsNet::initTestCase()
{
    if (!testsupport::insideNamespace())
        QFAIL(testsupport::kNeedsNamespace);
}

void TestMasterKindsNet::reachesOpWithDescribedSizes()
{
    QFETCH(QString, bus);
    const std::vector<DeviceSizes> sizes = deviceSizes(bus.toStdString());
    QVERIFY2(!sizes.empty(), "the model does not know this bus");
    testsupport::SimProcess sim;
    QString error;
    QVERIFY2(sim.start({"--slaves", bus}, &error), qPrintable(error));

    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt);
    std::memset(ctx.get(), 0, sizeof(ecx_contextt));
    static uint8_t iomap[8192];
    std::memset(iomap, 0, sizeof iomap);
    ecx_contextt *c = ctx.get();
    QVERIFY(ecx_init(c, testsupport::masterInterface().toLocal8Bit().constData()));
    // The pressure link's bring-up and waits.
    const int size = bringUpBus(c, iomap, sizeof iomap, ecat::kSafeOpTimeoutUs, ecat::kOpTimeoutUs);
    QCOMPARE(c->slavecount, int(sizes.size()));
    MappedTotals total;
    checkSlaveSizes(c, sizes, &total);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(size, int(total.bytes));
    QCOMPARE(exchangeProcessData(c), expectedWkcOf(c));
    if (bus.startsWith("sensor")) {
        QCOMPARE(sim.command("pressure 1013.25"), QString("ok"));
        QCOMPARE(exchangeProcessData(c), expectedWkcOf(c));
        QCOMPARE(ecwire::getF32(c->slavelist[1].inputs + 1), 101325.0f);
    }
    c->slavelist[0].state = EC_STATE_INIT;
    ecx_writestate(c, 0);
    ecx_close(c);
}

QTEST_GUILESS_MAIN(TestMasterKindsNet)
#include "tst_master_kinds_net.moc"
