// Every device kind and option of the simulator, alone and in chains,
// in-process: the bus reaches OP with the process-data sizes each device's
// description gives, and exchanges with the working counter the master
// expects.
#include "connect_steps.h"
#include "device_kinds.h"
#include "device_sizes.h"
#include "master_fixture.h"

#include <ecwire/le.h>

#include <QtTest>

class TestMasterKinds : public QObject {
    Q_OBJECT
private slots:
    void reachesOpWithDescribedSizes_data() { addDeviceKindRows(); }
    void reachesOpWithDescribedSizes();
};

void TestMasterKinds::reachesOpWithDescribedSizes()
{
    QFETCH(QString, bus);
    const std::vector<DeviceSizes> sizes = deviceSizes(bus.toStdString());
    QVERIFY2(!sizes.empty(), "the model does not know this bus");
    MasterOnSim m(bus.toStdString());
    QVERIFY(m.sim.ok());
    // The link's waits: long enough for slow slaves, over as soon as they are there.
    const int size = m.bringUp(ecat::kSafeOpTimeoutUs, ecat::kOpTimeoutUs);
    QCOMPARE(m.c()->slavecount, int(sizes.size()));
    MappedTotals total;
    checkSlaveSizes(m.c(), sizes, &total);
    if (QTest::currentTestFailed())
        return;
    checkSoemFields(m.c(), bus);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(size, int(total.bytes));
    if (total.bytes <= 1486) { // one frame: every slave adds its share once
        const int perOutput = m.c()->grouplist[0].blockLRW ? 1 : 2;
        QCOMPARE(m.expectedWkc(), perOutput * total.withOutputs + total.withInputs);
    }
    QCOMPARE(m.exchange(), m.expectedWkc());
    if (bus.startsWith("sensor")) {
        QCOMPARE(m.sim.command("pressure 1013.25"), std::string("ok"));
        QCOMPARE(m.exchange(), m.expectedWkc());
        QCOMPARE(m.slave(1).inputs[0] & 0x01, 1);
        QCOMPARE(ecwire::getF32(m.slave(1).inputs + 1), 101325.0f);
    }
}

QTEST_APPLESS_MAIN(TestMasterKinds)
#include "tst_master_kinds.moc"
