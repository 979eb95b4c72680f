// What an ESC announces in its features register (0x0008) and does by it:
// distributed clocks of 64 or 32 bits or none, LRW or not; the returned-frame
// mark; SyncManager writes taking effect at the end of the frame.
#include "test_master.h"

#include "slave.h"

using namespace testing;

class TestEscFeatures : public QObject {
    Q_OBJECT
private slots:
    void featuresRegister_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<int>("features");
        QTest::newRow("sensor: DC 64 bit") << "sensor" << int(reg::FeatureDc | reg::FeatureDc64);
        QTest::newRow("dig-in: no DC") << "dig-in" << 0;
        QTest::newRow("sensor+dc32") << "sensor+dc32" << int(reg::FeatureDc);
        QTest::newRow("sensor+no-dc") << "sensor+no-dc" << 0;
        QTest::newRow("dig-in+no-lrw") << "dig-in+no-lrw" << int(reg::FeatureNoLrw);
    }
    void featuresRegister()
    {
        QFETCH(QString, bus);
        QFETCH(int, features);
        TestMaster m(bus.toStdString());
        QCOMPARE(int(m.txLen(Command::APRD, makeAddress(0, reg::Features), 2).u16()), features);
    }

    // ESC features bit 9: an ESC without LRW leaves LRW datagrams alone; LRD and LWR work.
    void noLrwSlaveTakesLrdAndLwrOnly()
    {
        TestMaster m("dig-out+no-lrw,dig-in");
        m.assignStations();
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.request(1, al::PreOp), al::PreOp);
        m.setupOutputs(0, 1, 0);
        m.setupInputs(1, 2, 1);
        for (size_t i = 0; i < 2; ++i) {
            QCOMPARE(m.request(i, al::SafeOp), al::SafeOp);
            QCOMPARE(m.request(i, al::Op), al::Op);
        }
        QCOMPARE(m.bus->command("slave 2 image 3412"), std::string("ok"));
        const Reply rw = m.tx(Command::LRW, 0, {0x5A, 0, 0});
        QCOMPARE(rw.wkc, uint16_t(1)); // the inputs of dig-in only
        QCOMPARE(m.bus->slave(0).outputs(), std::vector<uint8_t>({0}));
        QCOMPARE(m.tx(Command::LWR, 0, {0x5A}).wkc, uint16_t(1));
        QCOMPARE(m.bus->slave(0).outputs(), std::vector<uint8_t>({0x5A}));
        const Reply rd = m.txLen(Command::LRD, 1, 2);
        QCOMPARE(rd.wkc, uint16_t(1));
        QCOMPARE(rd.data, std::vector<uint8_t>({0x34, 0x12}));
    }

    // 32-bit distributed clocks: system time, receive time and offset 32 bits wide.
    void dc32KeepsThirtyTwoBits()
    {
        TestMaster m("sensor+dc32,sensor");
        m.assignStations();
        m.clockNs = 10'000'000'000ull; // past 2^32 ns of local time on every slave
        m.tx(Command::BWR, makeAddress(0, reg::DcRecvTimePort0), {0, 0, 0, 0});
        for (size_t pos = 0; pos < 2; ++pos) {
            const uint64_t unit = getU64(m.fprd(pos, reg::DcRecvTimeUnit, 8).data.data());
            const uint64_t sys = getU64(m.fprd(pos, reg::DcSystemTime, 8).data.data());
            QCOMPARE(unit >> 32 == 0, pos == 0);
            QCOMPARE(sys >> 32 == 0, pos == 0);
        }
        m.fpwr(0, reg::DcSystemTimeOffset, TestMaster::le32(0x11223344));
        m.fpwr(0, reg::DcSystemTimeOffset + 4, TestMaster::le32(0x55667788));
        QCOMPARE(getU64(m.fprd(0, reg::DcSystemTimeOffset, 8).data.data()), uint64_t(0x11223344));
    }

    void noDcRegistersReadZero()
    {
        TestMaster m("sensor+no-dc");
        m.assignStations();
        QCOMPARE(m.fpwr(0, reg::DcSystemTimeOffset, TestMaster::le32(0x11223344)).wkc, uint16_t(1));
        QCOMPARE(m.fprd(0, reg::DcSystemTimeOffset, 4).u32(), 0u);
        m.fpwr(0, reg::DcRecvTimePort0, {0, 0, 0, 0});
        QCOMPARE(getU64(m.fprd(0, reg::DcSystemTime, 8).data.data()), uint64_t(0));
    }

    // Bit 1 of the source MAC: set on the way back through port 0 by any slave that marks
    // returned frames; a chain of keep-mac slaves returns the frame as it was.
    void returnedFrameMark_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<bool>("marked");
        QTest::newRow("sensor") << "sensor" << true;
        QTest::newRow("sensor+keep-mac") << "sensor+keep-mac" << false;
        QTest::newRow("one of two keeps it") << "sensor+keep-mac,dig-in" << true;
        QTest::newRow("both keep it") << "sensor+keep-mac,dig-in+keep-mac" << false;
    }
    void returnedFrameMark()
    {
        QFETCH(QString, bus);
        QFETCH(bool, marked);
        TestMaster m(bus.toStdString());
        const Reply r = m.txLen(Command::BRD, 0, 2);
        QVERIFY(r.ok);
        QCOMPARE(bool(m.lastFrame[eth::Source] & eth::SourceReturnedBit), marked);
    }

    // SyncManager writes take effect at the end of the frame: the write mailbox set up in a
    // frame is still plain memory for the rest of that frame.
    void syncManagerTakesEffectAtTheEndOfTheFrame()
    {
        TestMaster m("sensor");
        m.assignStations();
        uint8_t raw[sm::EntrySize];
        encodeSm(raw, SmEntry{0x1000, 128, sm::ControlMailboxOut, 0, 1, 0});
        FrameBuilder b;
        b.add(Command::FPWR, 1, makeAddress(TestMaster::station(0), reg::sm(0)), raw, sizeof raw);
        b.add(Command::FPRD, 2, makeAddress(TestMaster::station(0), 0x1000), nullptr, 8);
        QVERIFY(m.send(b).ok);
        QCOMPARE(m.datagram(1).wkc, uint16_t(1));
        QCOMPARE(m.fprd(0, 0x1000, 8).wkc, uint16_t(0)); // now a write mailbox: not readable
    }
};

QTEST_APPLESS_MAIN(TestEscFeatures)
#include "tst_esc_features.moc"
