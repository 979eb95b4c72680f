#include "test_master.h"

#include "slave.h"

using namespace testing;

namespace {
// dig-out (1 byte outputs at logical 0), sensor (5 inputs at 1), dig-in (2 inputs at 6), all in OP.
std::unique_ptr<TestMaster> threeSlavesInOp()
{
    auto m = std::make_unique<TestMaster>("dig-out,sensor,dig-in");
    m->assignStations();
    m->setupMailbox(1);
    for (size_t i = 0; i < 3; ++i)
        if (m->request(i, al::PreOp) != al::PreOp)
            qFatal("PRE-OP failed for %zu", i);
    m->setupOutputs(0, 1, 0);
    m->setupInputs(1, 5, 1);
    m->setupInputs(2, 2, 6);
    for (size_t i = 0; i < 3; ++i) {
        if (m->request(i, al::SafeOp) != al::SafeOp)
            qFatal("SAFE-OP failed for %zu: code 0x%x", i, m->alCode(i));
        if (m->request(i, al::Op) != al::Op)
            qFatal("OP failed for %zu", i);
    }
    return m;
}
} // namespace

class TestProcessData : public QObject {
    Q_OBJECT
private slots:
    void sensorImage()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.sensorToOp(0, 0x100);
        QCOMPARE(m.bus->command("pressure 1013.25"), std::string("ok"));
        const Reply r = m.txLen(Command::LRD, 0x100, 5);
        QCOMPARE(r.wkc, uint16_t(1));
        QCOMPARE(r.data[0], uint8_t(0x01));
        QCOMPARE(getF32(r.data.data() + 1), 101325.0f);
        // The image sits in the SM3 area and can be read there too.
        const Reply p = m.fprd(0, 0x1180, 5);
        QCOMPARE(p.wkc, uint16_t(1));
        QCOMPARE(getF32(p.data.data() + 1), 101325.0f);
    }

    void shortAndSiiOnlySensors()
    {
        TestMaster m("short-sensor,sensor-sii");
        m.assignStations();
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.request(1, al::PreOp), al::PreOp);
        m.setupInputs(0, 5, 0); // a master expecting 5 bytes is refused
        QCOMPARE(m.request(0, al::SafeOp), uint16_t(al::PreOp | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidInputConfig);
        m.setupInputs(0, 4, 0);
        QCOMPARE(m.request(0, al::SafeOp | al::ErrorFlag), al::SafeOp);
        m.setupInputs(1, 5, 4);
        QCOMPARE(m.request(1, al::SafeOp), al::SafeOp);
        QCOMPARE(m.bus->command("pressure 1013.25"), std::string("ok"));      // the first sensor
        QCOMPARE(m.bus->command("slave 2 pressure 20"), std::string("ok"));
        const Reply r = m.txLen(Command::LRD, 0, 9);
        QCOMPARE(r.wkc, uint16_t(2));
        uint8_t full[4];
        putF32(full, 101325.0f);
        QCOMPARE(r.data[0], uint8_t(0x01));
        QCOMPARE(std::vector<uint8_t>(r.data.begin() + 1, r.data.begin() + 4), std::vector<uint8_t>(full, full + 3));
        QCOMPARE(r.data[4], uint8_t(0x01));
        QCOMPARE(getF32(r.data.data() + 5), 2000.0f);
    }

    void logicalWorkingCounters()
    {
        auto m = threeSlavesInOp();
        m->bus->command("pressure 500");
        m->bus->command("slave 3 image 3412");
        const Reply rw = m->tx(Command::LRW, 0, {0x5A, 0, 0, 0, 0, 0, 0, 0});
        QCOMPARE(rw.wkc, uint16_t(2 + 1 + 1));
        QCOMPARE(rw.data[0], uint8_t(0x5A)); // outputs pass through unchanged
        QCOMPARE(rw.data[1], uint8_t(0x01));
        QCOMPARE(getF32(rw.data.data() + 2), 50000.0f);
        QCOMPARE(rw.data[6], uint8_t(0x34));
        QCOMPARE(rw.data[7], uint8_t(0x12));
        QCOMPARE(m->bus->slave(0).outputs(), std::vector<uint8_t>({0x5A}));
        QCOMPARE(m->txLen(Command::LRD, 0, 8).wkc, uint16_t(2));
        QCOMPARE(m->tx(Command::LWR, 0, {0x0F}).wkc, uint16_t(1));
        QCOMPARE(m->bus->slave(0).outputs(), std::vector<uint8_t>({0x0F}));
        // Only part of the image: just the slaves it touches count.
        QCOMPARE(m->txLen(Command::LRD, 6, 2).wkc, uint16_t(1));
        QCOMPARE(m->txLen(Command::LRW, 0, 1).wkc, uint16_t(2));
        QCOMPARE(m->txLen(Command::LRD, 0x1000, 8).wkc, uint16_t(0));
    }

    void outputsHeldOutsideOp()
    {
        auto m = threeSlavesInOp();
        QCOMPARE(m->request(0, al::SafeOp), al::SafeOp);
        // In SAFE-OP the buffers are open: the write is counted.
        QCOMPARE(m->tx(Command::LRW, 0, {0x33, 0, 0, 0, 0, 0, 0, 0}).wkc, uint16_t(4));
        QCOMPARE(m->request(0, al::PreOp), al::PreOp);
        QCOMPARE(m->tx(Command::LRW, 0, {0x44, 0, 0, 0, 0, 0, 0, 0}).wkc, uint16_t(2));
        QCOMPARE(m->bus->slave(0).outputs(), std::vector<uint8_t>({0x33}));
    }

    void readWriteFmmuOnInputsCountsRead()
    {
        TestMaster m("dig-in");
        m.assignStations();
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.writeSm(0, 3, 0x1180, 2, sm::ControlInputs);
        m.writeFmmu(0, 0, 0x40, 2, 0x1180, fmmu::TypeRead | fmmu::TypeWrite);
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        m.bus->command("image ABCD");
        const Reply r = m.tx(Command::LRW, 0x40, {1, 2});
        QCOMPARE(r.wkc, uint16_t(1)); // inputs cannot be written
        QCOMPARE(r.data, std::vector<uint8_t>({0xAB, 0xCD}));
    }

    void bitGranularMapping()
    {
        TestMaster m("dig-out");
        m.assignStations();
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        m.writeSm(0, 2, 0x1100, 1, sm::ControlOutputs);
        FmmuEntry e;
        e.logicalStart = 0x10;
        e.length = 1;
        e.logicalStartBit = 4;
        e.logicalStopBit = 7;
        e.physicalStart = 0x1100;
        e.physicalStartBit = 0;
        e.type = fmmu::TypeWrite;
        e.activate = 1;
        uint8_t raw[fmmu::EntrySize];
        encodeFmmu(raw, e);
        m.fpwr(0, reg::fmmu(0), std::vector<uint8_t>(raw, raw + sizeof raw));
        QCOMPARE(m.request(0, al::SafeOp), al::SafeOp);
        QCOMPARE(m.tx(Command::LWR, 0x10, {0xA5}).wkc, uint16_t(1));
        QCOMPARE(m.bus->slave(0).outputs(), std::vector<uint8_t>({0x0A}));
        QCOMPARE(m.tx(Command::LWR, 0x10, {0x3F}).wkc, uint16_t(1));
        QCOMPARE(m.bus->slave(0).outputs(), std::vector<uint8_t>({0x03}));
    }

    void moreThan4096BytesOfInputs()
    {
        TestMaster m("sensor,big-in");
        m.assignStations();
        m.sensorToOp(0, 0);
        m.setupMailbox(1);
        QCOMPARE(m.request(1, al::PreOp), al::PreOp);
        m.setupInputs(1, 5000, 5, 0x1200);
        QCOMPARE(m.request(1, al::SafeOp), al::SafeOp);
        // The image is split over several datagrams; each is answered by big-in.
        std::vector<uint8_t> image;
        for (uint32_t at = 5; at < 5005; at += 1400) {
            const uint16_t n = uint16_t(std::min<uint32_t>(1400, 5005 - at));
            const Reply r = m.txLen(Command::LRD, at, n);
            QCOMPARE(r.wkc, uint16_t(1));
            image.insert(image.end(), r.data.begin(), r.data.end());
        }
        QCOMPARE(image.size(), size_t(5000));
        QVERIFY(getU32(image.data()) >= 1); // reading counter
        for (size_t i = 4; i < 5000; ++i)
            QCOMPARE(image[i], uint8_t(i));
        // Both slaves in one datagram at the seam.
        QCOMPARE(m.txLen(Command::LRD, 0, 10).wkc, uint16_t(2));
    }

    void distributedClocks()
    {
        TestMaster m("sensor,sensor,dig-in");
        m.assignStations();
        QCOMPARE(m.tx(Command::BWR, makeAddress(0, reg::DcRecvTimePort0), {0, 0, 0, 0}).wkc, uint16_t(3));
        const uint32_t a0 = m.fprd(0, reg::DcRecvTimePort0, 4).u32();
        const uint32_t a1 = m.fprd(0, reg::DcRecvTimePort1, 4).u32();
        const uint32_t b0 = m.fprd(1, reg::DcRecvTimePort0, 4).u32();
        const uint32_t b1 = m.fprd(1, reg::DcRecvTimePort1, 4).u32();
        // The frame comes back through port 1 later; the last DC slave has nobody behind port 1... but dig-in.
        QCOMPARE(a1 - a0, uint32_t(4 * ecsim::Slave::HopDelayNs));
        QCOMPARE(b1 - b0, uint32_t(2 * ecsim::Slave::HopDelayNs));
        QCOMPARE(m.fprd(2, reg::DcRecvTimePort0, 4).u32(), 0u); // no DC in dig-in
        const uint64_t unit = m.fprd(0, reg::DcRecvTimeUnit, 8).data.size() == 8
            ? getU64(m.fprd(0, reg::DcRecvTimeUnit, 8).data.data()) : 0;
        QCOMPARE(uint32_t(unit), a0);

        // System time follows the clock and the offset.
        const Reply t1 = m.fprd(0, reg::DcSystemTime, 8);
        m.clockNs += 1'000'000;
        const Reply t2 = m.fprd(0, reg::DcSystemTime, 8);
        QCOMPARE(getU64(t2.data.data()) - getU64(t1.data.data()), uint64_t(1'000'000));
        std::vector<uint8_t> offset(8, 0);
        putU64(offset.data(), uint64_t(0) - getU64(t2.data.data()));
        QCOMPARE(m.fpwr(0, reg::DcSystemTimeOffset, offset).wkc, uint16_t(1));
        QCOMPARE(getU64(m.fprd(0, reg::DcSystemTime, 8).data.data()), uint64_t(0));
        QCOMPARE(m.fpwr(0, reg::DcSystemTimeDelay, TestMaster::le32(1234)).wkc, uint16_t(1));
        QCOMPARE(m.fprd(0, reg::DcSystemTimeDelay, 4).u32(), 1234u);
        // Distribution: FRMW from the first slave; the second keeps its own time and records the difference.
        const Reply dist = m.txLen(Command::FRMW, makeAddress(TestMaster::station(0), reg::DcSystemTime), 8);
        QCOMPARE(dist.wkc, uint16_t(3));
        QCOMPARE(getU64(dist.data.data()), uint64_t(0));
        QVERIFY(m.fprd(1, reg::DcTimeDifference, 4).u32() != 0);
        // Different slaves have different local clocks.
        QVERIFY(m.fprd(0, reg::DcSystemTime, 4).u32() != m.fprd(1, reg::DcSystemTime, 4).u32());
    }
};

QTEST_APPLESS_MAIN(TestProcessData)
#include "tst_process_data.moc"
