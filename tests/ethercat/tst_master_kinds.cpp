// Every device kind and option of the simulator, alone and in chains,
// in-process: the bus reaches OP with the process-data sizes each device's
// description gives, and exchanges with the working counter the master
// expects.
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
    const int size = m.bringUp(2000000, 8000000);
    QCOMPARE(m.c()->slavecount, int(sizes.size()));
    uint32_t total = 0;
    int outs = 0, ins = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        const ec_slavet &s = m.slave(int(i) + 1);
        const QByteArray who = "slave " + QByteArray::number(qulonglong(i + 1));
        QVERIFY2(s.Ibytes == sizes[i].inputBytes, who + " inputs " + QByteArray::number(s.Ibytes));
        QVERIFY2(s.Obytes == sizes[i].outputBytes, who + " outputs " + QByteArray::number(s.Obytes));
        QVERIFY2(s.state == EC_STATE_OPERATIONAL, who + " state " + QByteArray::number(s.state, 16));
        total += s.Ibytes + s.Obytes;
        outs += s.Obytes ? 1 : 0;
        ins += s.Ibytes ? 1 : 0;
    }
    QCOMPARE(size, int(total));
    if (total <= 1486) { // one frame: every slave adds its share once
        const int perOutput = m.c()->grouplist[0].lrd_lwr ? 1 : 2;
        QCOMPARE(int(m.c()->grouplist[0].expectedWKC), perOutput * outs + ins);
    }
    QCOMPARE(m.exchange(), int(m.c()->grouplist[0].expectedWKC));
    if (bus.startsWith("sensor")) {
        QCOMPARE(m.sim.command("pressure 1013.25"), std::string("ok"));
        QCOMPARE(m.exchange(), int(m.c()->grouplist[0].expectedWKC));
        QCOMPARE(m.slave(1).inputs[0] & 0x01, 1);
        QCOMPARE(ecwire::getF32(m.slave(1).inputs + 1), 101325.0f);
    }
}

QTEST_APPLESS_MAIN(TestMasterKinds)
#include "tst_master_kinds.moc"
