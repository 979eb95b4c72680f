#include "test_master.h"

#include "slave.h"

using namespace testing;

class TestAlState : public QObject {
    Q_OBJECT
private slots:
    void fullBringUpAndBack()
    {
        TestMaster m("sensor");
        m.assignStations();
        QCOMPARE(m.alStatus(0), al::Init);
        m.sensorToOp(0);
        QCOMPARE(m.alCode(0), uint16_t(0));
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.request(0, al::Init), al::Init);
        m.sensorToOp(0);
        QCOMPARE(m.request(0, al::Init), al::Init); // OP straight to INIT
    }

    // The firmware handles AL control after the frame that wrote it and its own time; until
    // then AL status shows the old state. "slow" takes 300 ms for SAFE-OP only.
    void requestTakesTheDeviceTime_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<qulonglong>("preOpNs");
        QTest::addColumn<qulonglong>("safeOpNs");
        QTest::newRow("default") << "sensor" << qulonglong(500'000) << qulonglong(500'000);
        QTest::newRow("al-delay=20") << "sensor+al-delay=20" << qulonglong(20'000'000) << qulonglong(20'000'000);
        QTest::newRow("slow") << "sensor+slow" << qulonglong(500'000) << qulonglong(300'000'000);
    }
    void requestTakesTheDeviceTime()
    {
        QFETCH(QString, bus);
        QFETCH(qulonglong, preOpNs);
        QFETCH(qulonglong, safeOpNs);
        TestMaster m(bus.toStdString());
        m.assignStations();
        m.setupMailbox(0);
        FrameBuilder b;
        const std::vector<uint8_t> preOp = TestMaster::le16(al::PreOp);
        b.add(Command::FPWR, 1, makeAddress(TestMaster::station(0), reg::AlControl), preOp.data(), 2);
        b.add(Command::FPRD, 2, makeAddress(TestMaster::station(0), reg::AlStatus), nullptr, 2);
        QVERIFY(m.send(b).ok);
        QCOMPARE(getU16(m.lastFrame.data() + m.datagram(1).dataOffset), al::Init);
        const uint64_t t0 = m.clockNs;
        m.clockNs = t0 + preOpNs - 1;
        QCOMPARE(m.alStatus(0), al::Init);
        m.clockNs = t0 + preOpNs;
        QCOMPARE(m.alStatus(0), al::PreOp);
        m.setupInputs(0, 5, 0);
        m.fpwr(0, reg::AlControl, TestMaster::le16(al::SafeOp));
        const uint64_t t1 = m.clockNs;
        m.clockNs = t1 + safeOpNs - 1;
        QCOMPARE(m.alStatus(0), al::PreOp);
        m.clockNs = t1 + safeOpNs;
        QCOMPARE(m.alStatus(0), al::SafeOp);
    }

    // The firmware does not wait for the next frame: a request written by the
    // last frame before a pause (a master that closes after asking for INIT)
    // is carried out all the same, and the control channel sees the result.
    void requestCarriedOutWithoutAnotherFrame()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        const uint64_t t0 = m.clockNs;
        m.fpwr(0, reg::AlControl, TestMaster::le16(al::Init));
        m.clockNs = t0 + m.timing(0).alNs;
        QVERIFY(QString::fromStdString(m.bus->command("stats")).contains("sensor:INIT:"));
    }

    // A value written while the firmware works on a request is handled after it.
    void newerRequestAfterTheCurrentOne()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.setupMailbox(0);
        const uint64_t d = m.timing(0).alNs, t0 = m.clockNs;
        m.fpwr(0, reg::AlControl, TestMaster::le16(al::PreOp));
        m.fpwr(0, reg::AlControl, TestMaster::le16(al::Init));
        m.clockNs = t0 + d;
        QCOMPARE(m.alStatus(0), al::PreOp);
        m.clockNs = t0 + 2 * d;
        QCOMPARE(m.alStatus(0), al::Init);
    }

    // ETG.1000.6 ESM: with the error indication set, a request without acknowledge for a
    // higher state is not carried out; one for the same or a lower state is, and the
    // indication and code stay until acknowledged.
    void errorIndicationUntilAcknowledged()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.request(0, al::SafeOp), uint16_t(al::PreOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidInputConfig);
        m.setupInputs(0, 5, 0);
        QCOMPARE(m.request(0, al::SafeOp), uint16_t(al::PreOp | al::ErrorFlag)); // higher: not without ack
        QCOMPARE(m.request(0, al::PreOp), uint16_t(al::PreOp | al::ErrorFlag));  // same: stays
        QCOMPARE(m.alCode(0), al::InvalidInputConfig);
        QCOMPARE(m.request(0, al::Init), uint16_t(al::Init | al::ErrorFlag));    // lower: done, error stays
        QCOMPARE(m.alCode(0), al::InvalidInputConfig);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), al::PreOp);            // ack, then up
        QCOMPARE(m.alCode(0), al::NoError);
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
    }

    void preOpNeedsMailboxSyncManagers()
    {
        TestMaster m("sensor");
        m.assignStations();
        QCOMPARE(m.request(0, al::PreOp), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidMailboxConfig);
        // Wrong length
        m.writeSm(0, 0, 0x1000, 64, sm::ControlMailboxOut);
        m.writeSm(0, 1, 0x1080, 128, sm::ControlMailboxIn);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidMailboxConfig);
        // Wrong direction
        m.writeSm(0, 0, 0x1000, 128, sm::ControlMailboxIn);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), uint16_t(al::Init | al::ErrorFlag));
        // Not enabled
        m.writeSm(0, 0, 0x1000, 128, sm::ControlMailboxOut, 0);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), uint16_t(al::Init | al::ErrorFlag));
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), al::PreOp);
        QCOMPARE(m.alCode(0), uint16_t(0));
    }

    void withoutMailboxPreOpNeedsNothing()
    {
        TestMaster m("sensor-sii,dig-out,dig-in");
        m.assignStations();
        for (size_t i = 0; i < 3; ++i)
            QCOMPARE(m.request(i, al::PreOp), al::PreOp);
    }

    void errorNeedsAcknowledge()
    {
        TestMaster m("sensor");
        m.assignStations();
        QCOMPARE(m.request(0, al::SafeOp), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidStateChange);
        // Without acknowledge nothing happens, even for a valid request.
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidStateChange);
        // Acknowledge alone clears the error.
        QCOMPARE(m.request(0, al::Init | al::ErrorFlag), al::Init);
        QCOMPARE(m.alCode(0), uint16_t(0));
    }

    void safeOpChecks_data()
    {
        QTest::addColumn<int>("smLength");
        QTest::addColumn<bool>("fmmu");
        QTest::addColumn<int>("control");
        QTest::addColumn<int>("expectedCode");
        QTest::newRow("ok") << 5 << true << int(sm::ControlInputs) << 0;
        QTest::newRow("short SM3") << 4 << true << int(sm::ControlInputs) << int(al::InvalidInputConfig);
        QTest::newRow("long SM3") << 6 << true << int(sm::ControlInputs) << int(al::InvalidInputConfig);
        QTest::newRow("no FMMU") << 5 << false << int(sm::ControlInputs) << int(al::InvalidInputConfig);
        QTest::newRow("SM3 as outputs") << 5 << true << int(sm::ControlOutputs) << int(al::InvalidInputConfig);
    }
    void safeOpChecks()
    {
        QFETCH(int, smLength);
        QFETCH(bool, fmmu);
        QFETCH(int, control);
        QFETCH(int, expectedCode);
        TestMaster m("sensor");
        m.assignStations();
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.writeSm(0, 3, 0x1180, uint16_t(smLength), uint8_t(control));
        if (fmmu)
            m.writeFmmu(0, 1, 0, 5, 0x1180, fmmu::TypeRead);
        const uint16_t st = m.request(0, al::SafeOp);
        QCOMPARE(m.alCode(0), uint16_t(expectedCode));
        QCOMPARE(st, expectedCode ? uint16_t(al::PreOp | al::ErrorFlag) : al::SafeOp);
    }

    void outputsChecked()
    {
        TestMaster m("dig-out,sensor");
        m.assignStations();
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.request(0, al::SafeOp), uint16_t(al::PreOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidOutputConfig);
        m.setupOutputs(0, 1, 0x100);
        QCOMPARE(m.request(0, al::SafeOp | al::ErrorFlag), al::SafeOp);
        // The sensor has no outputs: an enabled SM2 with a length is refused.
        m.setupMailbox(1);
        QCOMPARE(m.request(1, al::PreOp), al::PreOp);
        m.setupInputs(1, 5, 0);
        m.writeSm(1, 2, 0x1100, 2, sm::ControlOutputs);
        QCOMPARE(m.request(1, al::SafeOp), uint16_t(al::PreOp | al::ErrorFlag));
        QCOMPARE(m.alCode(1), al::InvalidOutputConfig);
    }

    void invalidAndUnknownRequests()
    {
        TestMaster m("sensor");
        m.assignStations();
        QCOMPARE(m.request(0, al::Op), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidStateChange);
        QCOMPARE(m.request(0, al::Boot | al::ErrorFlag), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::BootNotSupported); // no bootstrap mode
        QCOMPARE(m.request(0, 0x05 | al::ErrorFlag), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::UnknownState);
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), al::PreOp);
        QCOMPARE(m.request(0, al::Op), uint16_t(al::PreOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidStateChange);
    }

    void refuseOp()
    {
        TestMaster m("sensor");
        m.assignStations();
        QCOMPARE(m.bus->command("refuse-op on"), std::string("ok"));
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.setupInputs(0, 5, 0);
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        QCOMPARE(m.request(0, al::Op), uint16_t(al::SafeOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidStateChange);
        // Inputs stay live in SAFE-OP with the error bit.
        QCOMPARE(m.txLen(Command::LRD, 0, 5).wkc, uint16_t(1));
        QCOMPARE(m.bus->command("refuse-op on 0x001A"), std::string("ok"));
        QCOMPARE(m.request(0, al::Op | al::ErrorFlag), uint16_t(al::SafeOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), uint16_t(0x001A));
        QCOMPARE(m.bus->command("refuse-op off"), std::string("ok"));
        QCOMPARE(m.request(0, al::Op | al::ErrorFlag), al::Op);
        QVERIFY(m.bus->command("refuse-op maybe").rfind("error: ", 0) == 0);
        QVERIFY(m.bus->command("refuse-op on 0x10000").rfind("error: ", 0) == 0);
    }

    void holdOpWaitsInSafeOpWithoutError()
    {
        TestMaster m("sensor");
        m.assignStations();
        QCOMPARE(m.bus->command("refuse-op hold"), std::string("ok"));
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.setupInputs(0, 5, 0);
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        QCOMPARE(m.request(0, al::Op), al::SafeOp);
        QCOMPARE(m.alCode(0), al::NoError);
        QCOMPARE(m.bus->command("refuse-op off"), std::string("ok"));
        QCOMPARE(m.request(0, al::Op), al::Op);
    }

    void errorStateFault()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.sensorToOp(0);
        QCOMPARE(m.bus->command("error-state 0x18 0x001B"), std::string("ok"));
        QCOMPARE(m.alStatus(0), uint16_t(0x18));
        QCOMPARE(m.alCode(0), uint16_t(0x001B));
        // Held while the fault is on, acknowledge or not.
        QCOMPARE(m.request(0, al::Op | al::ErrorFlag), uint16_t(0x18));
        QCOMPARE(m.bus->command("error-state 0x14 27"), std::string("ok"));
        QCOMPARE(m.alStatus(0), uint16_t(0x14));
        QCOMPARE(m.alCode(0), uint16_t(27));
        QCOMPARE(m.bus->command("error-state off"), std::string("ok"));
        QCOMPARE(m.alStatus(0), uint16_t(0x14)); // the error stays until acknowledged
        QCOMPARE(m.request(0, al::Op | al::ErrorFlag), al::Op);
        QVERIFY(m.bus->command("error-state 0x07 0").rfind("error: ", 0) == 0);
        QVERIFY(m.bus->command("error-state 0x48 0").rfind("error: ", 0) == 0);
        QVERIFY(m.bus->command("error-state 8").rfind("error: ", 0) == 0);
        QVERIFY(m.bus->command("error-state 8 x").rfind("error: ", 0) == 0);
    }

    void watchdogDropsOutputsSlaveToSafeOp()
    {
        TestMaster m("dig-out");
        m.assignStations();
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.setupOutputs(0, 1, 0);
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        QCOMPARE(m.request(0, al::Op), al::Op);
        // 100 ms default; writing outputs keeps it alive.
        for (int i = 0; i < 5; ++i) {
            m.clockNs += 50'000'000;
            QCOMPARE(m.tx(Command::LWR, 0, {uint8_t(i)}).wkc, uint16_t(1));
        }
        QCOMPARE(m.bus->slave(0).outputs(), std::vector<uint8_t>({4}));
        QCOMPARE(m.alStatus(0), al::Op);
        m.clockNs += 150'000'000;
        QCOMPARE(m.alStatus(0), uint16_t(al::SafeOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::SmWatchdog);
        // A watchdog time of 0 turns it off.
        QCOMPARE(m.request(0, al::SafeOp | al::ErrorFlag), al::SafeOp);
        m.fpwr(0, reg::WatchdogTimeProcessData, TestMaster::le16(0));
        QCOMPARE(m.request(0, al::Op), al::Op);
        m.clockNs += 10'000'000'000ull;
        QCOMPARE(m.alStatus(0), al::Op);
    }

    void processDataClosedBeforeSafeOp()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.setupInputs(0, 5, 0);
        QCOMPARE(m.txLen(Command::LRD, 0, 5).wkc, uint16_t(0));
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        QCOMPARE(m.txLen(Command::LRD, 0, 5).wkc, uint16_t(1));
    }
};

QTEST_APPLESS_MAIN(TestAlState)
#include "tst_al_state.moc"
