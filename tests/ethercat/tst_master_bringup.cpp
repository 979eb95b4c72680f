// Enumeration, mapping and state changes of the master against the
// in-process slave model.
#include "master_fixture.h"

#include <QtTest>

#include <ecwire/le.h>

#include <cstring>


class TestMasterBringUp : public QObject {
    Q_OBJECT
private slots:
    void oneCoeSensorReachesOp();
    void siiOnlySensorMapsFromSii();
    void coeAndSiiSensorsAgree();
    void coeWithoutCompleteAccessReadsEachSubindex();
    void coeWithoutPdoAssignAnnouncedStillReadsCoe();
    void twoSlavesOutputsBeforeInputs();
    void severalSlavesLayout();
    void largeImageSplitsAcrossFrames();
    void mappingWritesNothingIntoImage();
    void pressureDecodedFromInputs();
    void rawImageBytes();
    void readStateOneBroadcastWhenAllAgree();
    void distributedClocks();
};

void TestMasterBringUp::oneCoeSensorReachesOp()
{
    MasterOnSim m("sensor");
    QVERIFY(m.sim.ok());
    QCOMPARE(ecx_config_init(m.c()), 1);
    QCOMPARE(m.c()->slavecount, 1);
    QCOMPARE(m.slave(1).configadr, uint16_t(0x1001));
    QVERIFY(m.slave(1).eep_man != 0 || m.slave(1).eep_id != 0);
    QVERIFY(std::strlen(m.slave(1).name) > 0);
    QVERIFY(m.slave(1).mbx_l > 0);
    QCOMPARE(m.slave(1).state & 0x0F, EC_STATE_PRE_OP);

    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 5);
    QCOMPARE(m.slave(1).Ibytes, 5u);
    QCOMPARE(m.slave(1).Obytes, 0u);
    QCOMPARE(m.slave(1).inputs, m.iomap);
    QCOMPARE(m.expectedWkc(), 1);
    QCOMPARE(m.c()->slavelist[0].Ibytes, 5u);

    QCOMPARE(ecx_statecheck(m.c(), 0, EC_STATE_SAFE_OP, 200000), uint16_t(EC_STATE_SAFE_OP));
    QCOMPARE(m.exchange(), 1);
    m.c()->slavelist[0].state = EC_STATE_OPERATIONAL;
    QVERIFY(ecx_writestate(m.c(), 0) >= 1);
    QCOMPARE(ecx_statecheck(m.c(), 0, EC_STATE_OPERATIONAL, 200000), uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(ecx_readstate(m.c()), EC_STATE_OPERATIONAL);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 1);
}

void TestMasterBringUp::siiOnlySensorMapsFromSii()
{
    MasterOnSim m("sensor-sii");
    QVERIFY(m.sim.ok());
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sizesFromCoe(1), false);
    QCOMPARE(m.slave(1).mbx_l, uint16_t(0));
    QCOMPARE(m.slave(1).Ibytes, 5u);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 1);
}

void TestMasterBringUp::coeAndSiiSensorsAgree()
{
    MasterOnSim coe("sensor");
    QCOMPARE(coe.bringUp(), 5);
    QCOMPARE(coe.sizesFromCoe(1), true);
    QCOMPARE(coe.slave(1).Ibits, uint16_t(40));
}

void TestMasterBringUp::coeWithoutCompleteAccessReadsEachSubindex()
{
    MasterOnSim m("sensor");
    QCOMPARE(ecx_config_init(m.c()), 1);
    m.slave(1).CoEdetails &= uint8_t(~0x20); // as a slave without complete access
    const int framesBefore = m.sim.framesSent;
    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 5);
    QCOMPARE(m.sizesFromCoe(1), true);
    QCOMPARE(m.slave(1).Ibits, uint16_t(40));
    QVERIFY(m.sim.framesSent - framesBefore > 8);
}

void TestMasterBringUp::coeWithoutPdoAssignAnnouncedStillReadsCoe()
{
    MasterOnSim m("sensor");
    QCOMPARE(ecx_config_init(m.c()), 1);
    m.slave(1).CoEdetails &= uint8_t(~0x04); // "PDO assign" not announced
    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 5);
    QCOMPARE(m.sizesFromCoe(1), true);
    QCOMPARE(m.slave(1).Ibytes, 5u);
}

void TestMasterBringUp::twoSlavesOutputsBeforeInputs()
{
    MasterOnSim m("sensor,dig-out");
    QCOMPARE(m.bringUp(), 6);
    QCOMPARE(m.c()->slavecount, 2);
    QCOMPARE(m.slave(2).configadr, uint16_t(0x1002));
    QCOMPARE(m.slave(2).Obytes, 1u);
    QCOMPARE(m.slave(2).outputs, m.iomap);
    QCOMPARE(m.slave(1).inputs, m.iomap + 1);
    QCOMPARE(m.c()->grouplist[0].Obytes, 1u);
    QCOMPARE(m.c()->grouplist[0].Ibytes, 5u);
    QCOMPARE(m.expectedWkc(), 3);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.slave(2).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 3);
}

void TestMasterBringUp::severalSlavesLayout()
{
    MasterOnSim m("sensor,dig-out,dig-in,sensor-sii,dig-out");
    QCOMPARE(m.bringUp(), 1 + 1 + 5 + 2 + 5);
    QCOMPARE(m.c()->slavecount, 5);
    // Outputs first in slave order, then the inputs in slave order.
    QCOMPARE(m.slave(2).outputs, m.iomap + 0);
    QCOMPARE(m.slave(5).outputs, m.iomap + 1);
    QCOMPARE(m.slave(1).inputs, m.iomap + 2);
    QCOMPARE(m.slave(3).inputs, m.iomap + 7);
    QCOMPARE(m.slave(3).Ibytes, 2u);
    QCOMPARE(m.slave(4).inputs, m.iomap + 9);
    QCOMPARE(m.expectedWkc(), 2 + 2 + 1 + 1 + 1);
    for (int i = 1; i <= 5; ++i)
        QCOMPARE(m.slave(i).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 7);
}

void TestMasterBringUp::largeImageSplitsAcrossFrames()
{
    MasterOnSim m("sensor,big-in");
    const int size = m.bringUp();
    QCOMPARE(size, 5005);
    QCOMPARE(m.slave(2).Ibytes, 5000u);
    // 5005 bytes take four frames; big-in is in all four, the sensor in the first.
    QCOMPARE(m.expectedWkc(), 5);
    const int sentBefore = m.sim.framesSent;
    QCOMPARE(m.exchange(), 5);
    QCOMPARE(m.sim.framesSent - sentBefore, 4);
}

void TestMasterBringUp::mappingWritesNothingIntoImage()
{
    MasterOnSim m("sensor,big-in");
    QVERIFY(ecx_config_init(m.c()) == 2);
    std::memset(m.iomap, 0xA5, sizeof m.iomap);
    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 5005);
    for (size_t i = 0; i < sizeof m.iomap; ++i)
        QCOMPARE(m.iomap[i], uint8_t(0xA5));
}

void TestMasterBringUp::pressureDecodedFromInputs()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sim.command("pressure 1013.25"), std::string("ok"));
    QCOMPARE(m.exchange(), 1);
    const uint8_t *in = m.slave(1).inputs;
    QCOMPARE(in[0] & 0x01, 1);
    QCOMPARE(ecwire::getF32(in + 1), 101325.0f);
}

void TestMasterBringUp::rawImageBytes()
{
    MasterOnSim m("dig-out,sensor");
    QCOMPARE(m.bringUp(), 6);
    QCOMPARE(m.sim.command("image 050000C842"), std::string("ok"));
    m.slave(1).outputs[0] = 0x5A;
    QCOMPARE(m.exchange(), 3);
    const uint8_t *in = m.slave(2).inputs;
    QCOMPARE(in[0], uint8_t(0x05));
    QCOMPARE(ecwire::getF32(in + 1), 100.0f);
    // Outputs are left as the caller wrote them.
    QCOMPARE(m.slave(1).outputs[0], uint8_t(0x5A));
}

void TestMasterBringUp::readStateOneBroadcastWhenAllAgree()
{
    MasterOnSim m("sensor,dig-out,dig-in");
    QVERIFY(m.bringUp() > 0);
    const int before = m.sim.framesSent;
    QCOMPARE(ecx_readstate(m.c()), EC_STATE_OPERATIONAL);
    QCOMPARE(m.sim.framesSent - before, 1);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(m.slave(i).state, uint16_t(EC_STATE_OPERATIONAL));
}

void TestMasterBringUp::distributedClocks()
{
    MasterOnSim m("sensor,dig-in");
    QCOMPARE(ecx_config_init(m.c()), 2);
    const bool anyDc = m.slave(1).hasdc || m.slave(2).hasdc;
    QCOMPARE(bool(ecx_configdc(m.c())), anyDc);
    QVERIFY(m.slave(1).pdelay >= 0 && m.slave(2).pdelay >= 0);
}

QTEST_APPLESS_MAIN(TestMasterBringUp)
#include "tst_master_bringup.moc"
