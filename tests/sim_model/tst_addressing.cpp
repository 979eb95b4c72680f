#include "test_master.h"

using namespace testing;

class TestAddressing : public QObject {
    Q_OBJECT
private slots:
    void createRejectsBadLists()
    {
        std::string error;
        QVERIFY(!ecsim::Bus::create("", &error));
        QVERIFY(error.find("no slaves") != std::string::npos);
        QVERIFY(!ecsim::Bus::create("sensor,toaster", &error));
        QVERIFY(error.find("toaster") != std::string::npos);
        QVERIFY(!ecsim::Bus::create("sensor,,dig-in", &error));
        QVERIFY(ecsim::Bus::create("sensor"));
        auto bus = ecsim::Bus::create(" sensor , dig-out,dig-in,big-in,sensor-sii,short-sensor", &error);
        QVERIFY(bus);
        QCOMPARE(bus->slaveCount(), size_t(6));
    }

    void brdCountsSlavesAndOrsData()
    {
        TestMaster m("sensor,dig-out,dig-in");
        const Reply r = m.txLen(Command::BRD, makeAddress(0, reg::Type), 2);
        QVERIFY(r.ok);
        QCOMPARE(r.wkc, uint16_t(3));
        QCOMPARE(r.adp, uint16_t(3)); // every slave increments ADP
        QCOMPARE(r.data[0], uint8_t(0x11));
        // Features: only the sensor has DC; the OR shows its bits.
        QCOMPARE(m.txLen(Command::BRD, makeAddress(0, reg::Features), 2).u16(),
                 uint16_t(reg::FeatureDc | reg::FeatureDc64));
        // Give each slave a distinct alias and OR them.
        m.assignStations();
        QCOMPARE(m.txLen(Command::BRD, makeAddress(0, reg::StationAddress), 2).u16(), uint16_t(0x1001 | 0x1002 | 0x1003));
        // BRD data the master sends is ORed, not replaced.
        QCOMPARE(m.tx(Command::BRD, makeAddress(0, reg::StationAddress), {0x00, 0x80}).u16(),
                 uint16_t(0x8000 | 0x1001 | 0x1002 | 0x1003));
    }

    void returnedFrameIsMarked()
    {
        TestMaster m("sensor");
        m.txLen(Command::BRD, 0, 1);
        QCOMPARE(m.lastFrame[6], uint8_t(0x02));
        QCOMPARE(m.lastFrame[11], uint8_t(0x01)); // the rest of the source is kept
        QCOMPARE(m.lastFrame.size(), size_t(60));
        QCOMPARE(m.bus->stats().answered, uint64_t(1));
    }

    void positionAddressing()
    {
        TestMaster m("sensor,dig-out,dig-in");
        // APWR station addresses, one per position; ADP comes back incremented by every slave.
        for (uint16_t i = 0; i < 3; ++i) {
            const Reply r = m.tx(Command::APWR, makeAddress(uint16_t(0 - i), reg::StationAddress),
                                 TestMaster::le16(uint16_t(0x2000 + i)));
            QCOMPARE(r.wkc, uint16_t(1));
            QCOMPARE(r.adp, uint16_t(uint16_t(0 - i) + 3));
        }
        for (uint16_t i = 0; i < 3; ++i) {
            const Reply r = m.txLen(Command::APRD, makeAddress(uint16_t(0 - i), reg::StationAddress), 2);
            QCOMPARE(r.wkc, uint16_t(1));
            QCOMPARE(r.u16(), uint16_t(0x2000 + i));
        }
        // Position 3 does not exist: nobody answers.
        QCOMPARE(m.txLen(Command::APRD, makeAddress(uint16_t(0 - 3), 0), 2).wkc, uint16_t(0));
        // APRW: read the old value (+1) and write the new one (+2).
        const Reply rw = m.tx(Command::APRW, makeAddress(0xFFFF, reg::StationAddress), TestMaster::le16(0x3001));
        QCOMPARE(rw.wkc, uint16_t(3));
        QCOMPARE(rw.u16(), uint16_t(0x2001));
        QCOMPARE(m.txLen(Command::APRD, makeAddress(0xFFFF, reg::StationAddress), 2).u16(), uint16_t(0x3001));
    }

    void configuredAddressing()
    {
        TestMaster m("sensor,dig-in");
        m.assignStations();
        QCOMPARE(m.fprd(1, reg::StationAddress, 2).u16(), TestMaster::station(1));
        QCOMPARE(m.fprd(1, reg::StationAddress, 2).wkc, uint16_t(1));
        QCOMPARE(m.txLen(Command::FPRD, makeAddress(0x7777, 0), 2).wkc, uint16_t(0));
        QCOMPARE(m.fpwr(0, reg::EventMask, TestMaster::le16(0x0008)).wkc, uint16_t(1));
        const Reply rw = m.tx(Command::FPRW, makeAddress(TestMaster::station(0), reg::EventMask), TestMaster::le16(0x0004));
        QCOMPARE(rw.wkc, uint16_t(3));
        QCOMPARE(rw.u16(), uint16_t(0x0008));
        QCOMPARE(m.fprd(0, reg::EventMask, 2).u16(), uint16_t(0x0004));
        // ADP is not changed by configured addressing.
        QCOMPARE(m.fprd(0, 0, 1).adp, TestMaster::station(0));
    }

    void aliasAddressing()
    {
        TestMaster m("sensor,dig-in");
        m.assignStations();
        m.fpwr(1, reg::StationAlias, TestMaster::le16(0x0BAD));
        QCOMPARE(m.txLen(Command::FPRD, makeAddress(0x0BAD, reg::Type), 1).wkc, uint16_t(0)); // alias not enabled
        m.fpwr(1, reg::DlControl, {0x00, 0x00, 0x00, 0x01});
        QCOMPARE(m.txLen(Command::FPRD, makeAddress(0x0BAD, reg::Type), 1).wkc, uint16_t(1));
    }

    void broadcastWrite()
    {
        TestMaster m("sensor,dig-out,dig-in");
        QCOMPARE(m.tx(Command::BWR, makeAddress(0, reg::EventMask), TestMaster::le16(0x0F00)).wkc, uint16_t(3));
        m.assignStations();
        for (size_t i = 0; i < 3; ++i)
            QCOMPARE(m.fprd(i, reg::EventMask, 2).u16(), uint16_t(0x0F00));
        const Reply brw = m.tx(Command::BRW, makeAddress(0, reg::EventMask), TestMaster::le16(0x0001));
        QCOMPARE(brw.wkc, uint16_t(9));
        QCOMPARE(brw.u16(), uint16_t(0x0F01)); // OR of the old values and the sent data
    }

    void readModifyWrite()
    {
        TestMaster m("sensor,dig-out,dig-in");
        m.assignStations();
        m.fpwr(0, reg::EventMask, TestMaster::le16(0x1234));
        // ARMW: position 0 reads, the others write what it read.
        const Reply a = m.txLen(Command::ARMW, makeAddress(0, reg::EventMask), 2);
        QCOMPARE(a.wkc, uint16_t(3));
        QCOMPARE(a.u16(), uint16_t(0x1234));
        QCOMPARE(m.fprd(1, reg::EventMask, 2).u16(), uint16_t(0x1234));
        QCOMPARE(m.fprd(2, reg::EventMask, 2).u16(), uint16_t(0x1234));
        // FRMW addressed to the last slave: the slaves before it write the master's data.
        m.fpwr(2, reg::EventMask, TestMaster::le16(0x4321));
        const Reply f = m.tx(Command::FRMW, makeAddress(TestMaster::station(2), reg::EventMask), TestMaster::le16(0x0077));
        QCOMPARE(f.wkc, uint16_t(3));
        QCOMPARE(f.u16(), uint16_t(0x4321));
        QCOMPARE(m.fprd(0, reg::EventMask, 2).u16(), uint16_t(0x0077));
    }

    void readOnlyRegistersKeepTheirValue()
    {
        TestMaster m("sensor");
        m.assignStations();
        const uint16_t dl = m.fprd(0, reg::DlStatus, 2).u16();
        QVERIFY(dl & reg::DlStatusCommPort0);
        QCOMPARE(m.fpwr(0, reg::Type, {0xAA, 0xBB}).wkc, uint16_t(1)); // the write is taken, the bytes kept
        QCOMPARE(m.fprd(0, reg::Type, 1).data[0], uint8_t(0x11));
        m.fpwr(0, reg::DlStatus, {0, 0});
        QCOMPARE(m.fprd(0, reg::DlStatus, 2).u16(), dl);
        m.fpwr(0, reg::AlStatus, TestMaster::le16(al::Op));
        QCOMPARE(m.alStatus(0), al::Init);
        m.fpwr(0, reg::AlStatusCode, TestMaster::le16(0x1234));
        QCOMPARE(m.alCode(0), uint16_t(0));
    }

    void dlStatusDescribesTheChain()
    {
        TestMaster m("sensor,dig-in");
        m.assignStations();
        const uint16_t first = m.fprd(0, reg::DlStatus, 2).u16();
        const uint16_t last = m.fprd(1, reg::DlStatus, 2).u16();
        QVERIFY(first & reg::DlStatusCommPort1);
        QVERIFY(!(last & reg::DlStatusCommPort1));
        QVERIFY(last & reg::DlStatusCommPort0);
    }

    void pastTheEndIsNotAnswered()
    {
        TestMaster m("sensor,big-in");
        m.assignStations();
        // The sensor has 8 KiB; big-in more. A read at the sensor's end reaches only big-in.
        QCOMPARE(m.txLen(Command::BRD, makeAddress(0, 0x1FFF), 2).wkc, uint16_t(1));
        QCOMPARE(m.txLen(Command::BRD, makeAddress(0, 0x1FFE), 2).wkc, uint16_t(2));
        QCOMPARE(m.txLen(Command::FPRD, makeAddress(TestMaster::station(0), 0xFFF0), 0x20).wkc, uint16_t(0));
        QCOMPARE(m.tx(Command::FPWR, makeAddress(TestMaster::station(0), 0xFFFF), {1, 2}).wkc, uint16_t(0));
        QCOMPARE(m.txLen(Command::FPRD, makeAddress(TestMaster::station(0), 0x1FFF), 1).wkc, uint16_t(1));
    }

    void irqIsOredAndNopPasses()
    {
        TestMaster m("sensor,dig-in");
        m.assignStations();
        m.fpwr(0, reg::EventMask, TestMaster::le16(0x0008)); // AL status event
        m.fpwr(0, reg::AlControl, TestMaster::le16(al::PreOp)); // refused: status changes
        m.passAlTime(0);
        const Reply r = m.tx(Command::NOP, 0, {0, 0}, 0x0100);
        QCOMPARE(r.wkc, uint16_t(0));
        QCOMPARE(r.irq, uint16_t(0x0108));
        m.alStatus(0); // reading AL status clears the event
        QCOMPARE(m.tx(Command::NOP, 0, {0}).irq, uint16_t(0));
    }

    void severalDatagramsInOneFrame()
    {
        TestMaster m("sensor,dig-in");
        FrameBuilder b;
        b.add(Command::BRD, 1, makeAddress(0, reg::Type), nullptr, 1);
        b.add(Command::APWR, 2, makeAddress(0xFFFF, reg::StationAddress), TestMaster::le16(0x0042).data(), 2);
        b.add(Command::FPRD, 3, makeAddress(0x0042, reg::StationAddress), nullptr, 2);
        const auto &f = b.finish();
        std::vector<uint8_t> out;
        QVERIFY(m.bus->handleFrame(f.data(), f.size(), out));
        ParsedFrame p;
        QCOMPARE(parseFrame(out.data(), out.size(), p), ParseError::None);
        QCOMPARE(p.datagrams.size(), size_t(3));
        QCOMPARE(p.datagrams[0].wkc, uint16_t(2));
        QCOMPARE(p.datagrams[1].wkc, uint16_t(1));
        QCOMPARE(p.datagrams[2].wkc, uint16_t(1)); // the address set earlier in the same frame
        QCOMPARE(p.datagrams[2].index, uint8_t(3));
        QCOMPARE(getU16(out.data() + p.datagrams[2].dataOffset), uint16_t(0x0042));
    }

    void malformedFramesAreDroppedAndCounted()
    {
        TestMaster m("sensor");
        std::vector<uint8_t> out;
        const uint8_t junk[20] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0x08, 0x00};
        QVERIFY(!m.bus->handleFrame(junk, sizeof junk, out));
        QCOMPARE(m.bus->stats().malformed, uint64_t(1));
        QVERIFY(m.bus->lastError().find("0x88A4") != std::string::npos);
        QVERIFY(!m.bus->handleFrame(junk, 3, out));
        QVERIFY(!m.bus->handleFrame(nullptr, 0, out));
        QCOMPARE(m.bus->stats().malformed, uint64_t(3));
    }
};

QTEST_APPLESS_MAIN(TestAddressing)
#include "tst_addressing.moc"
