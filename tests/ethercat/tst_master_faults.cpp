// Refusals, lost and damaged replies, and calls out of order, against the
// in-process slave model.
#include "master_fixture.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>

#include <QtTest>

#include <algorithm>

#include <cstring>

class TestMasterFaults : public QObject {
    Q_OBJECT
private slots:
    void refusedOpStaysInSafeOp();
    void errorStateWithCode();
    void oneSlaveInErrorReadPerSlave();
    void lostReplyIsNoFrame();
    void corruptedReplyIsNoFrame();
    void truncatedReplyIsNoFrame();
    void repliesWithoutReturnMarkAreAccepted();
    void staleAndForeignFramesAreSkipped();
    void circulatedReplyIsDropped();
    void silentBusReadsStateZero();
    void silentBusFindsNoSlave();
    void moreSlavesThanTheListHolds();
    void unknownSlaveKindRejected();
    void callsWithoutInitAreHarmless();
    void closeTwiceIsHarmless();
    void initErrorsForBadNames();
};

void TestMasterFaults::refusedOpStaysInSafeOp()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.sim.command("refuse-op on"), std::string("ok"));
    QCOMPARE(m.bringUp(MasterOnSim::kShortWaitUs, 20000), 5);
    QCOMPARE(m.slave(1).state & 0x0F, EC_STATE_SAFE_OP);
    const uint16_t st = ecx_statecheck(m.c(), 0, EC_STATE_OPERATIONAL, 20000);
    QCOMPARE(st & 0x0F, EC_STATE_SAFE_OP);
    ecx_readstate(m.c());
    QCOMPARE(m.slave(1).state & 0x0F, EC_STATE_SAFE_OP);
    QVERIFY(m.slave(1).state & EC_STATE_ERROR);
    QVERIFY(m.slave(1).ALstatuscode != 0);
    // Inputs stay live in SAFE-OP.
    QCOMPARE(m.exchange(), 1);
}

void TestMasterFaults::errorStateWithCode()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sim.command("error-state 0x18 0x001B"), std::string("ok"));
    QCOMPARE(ecx_readstate(m.c()), 0x18);
    QCOMPARE(m.slave(1).state, uint16_t(0x18));
    QCOMPARE(m.slave(1).ALstatuscode, uint16_t(0x001B));
}

void TestMasterFaults::oneSlaveInErrorReadPerSlave()
{
    MasterOnSim m("dig-out,sensor,dig-in");
    QVERIFY(m.bringUp() > 0);
    QCOMPARE(m.sim.command("slave 2 error-state 0x14 0x001B"), std::string("ok"));
    const int lowest = ecx_readstate(m.c());
    QCOMPARE(lowest, 0x14);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.slave(2).state, uint16_t(0x14));
    QCOMPARE(m.slave(2).ALstatuscode, uint16_t(0x001B));
    QCOMPARE(m.slave(3).state, uint16_t(EC_STATE_OPERATIONAL));
}

void TestMasterFaults::lostReplyIsNoFrame()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sim.command("image 0100002041"), std::string("ok"));
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(m.slave(1).inputs[0], uint8_t(0x01));
    QCOMPARE(m.sim.command("image 050000C842"), std::string("ok"));
    m.sim.dropReplies = 1;
    QCOMPARE(m.exchange(), EC_NOFRAME);
    // Nothing came back, so the image keeps the last inputs.
    QCOMPARE(m.slave(1).inputs[0], uint8_t(0x01));
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(m.slave(1).inputs[0], uint8_t(0x05));
}

void TestMasterFaults::corruptedReplyIsNoFrame()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    std::memset(m.iomap, 0x77, 5);
    m.sim.corruptReplies = 1;
    QCOMPARE(m.exchange(), EC_NOFRAME);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(m.iomap[i], uint8_t(0x77));
    QCOMPARE(m.exchange(), 1);
}

void TestMasterFaults::truncatedReplyIsNoFrame()
{
    MasterOnSim m("sensor,big-in");
    QCOMPARE(m.bringUp(), 5005);
    m.sim.truncateReplies = 1;
    // The first of four frames (sensor and big-in, 2) comes back cut short:
    // only the other three count.
    QCOMPARE(m.exchange(), 3);
    m.sim.truncateReplies = 4;
    QCOMPARE(m.exchange(), EC_NOFRAME);
    QCOMPARE(m.exchange(), 5);
}

// ETHERCAT.md "Frame": not every slave sets bit 1 of the source address in
// what it sends back; a reply is matched by EtherType, index, commands and
// lengths.
void TestMasterFaults::repliesWithoutReturnMarkAreAccepted()
{
    MasterOnSim m("sensor,dig-out");
    m.sim.noReturnMark = true;
    QCOMPARE(m.bringUp(), 6);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.slave(2).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 3);
}

void TestMasterFaults::staleAndForeignFramesAreSkipped()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sim.command("image 0100002041"), std::string("ok"));
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(m.sim.command("image 050000C842"), std::string("ok"));
    m.sim.staleBeforeNext = 1;
    m.sim.foreignBeforeNext = 2;
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(m.slave(1).inputs[0], uint8_t(0x05));
    // A state read after a lost reply is not confused by the late one.
    m.sim.staleBeforeNext = 1;
    QCOMPARE(ecx_readstate(m.c()), EC_STATE_OPERATIONAL);
}

// ETG.1000.4 datagram header bit 14 (circulating frame): set by a slave whose
// port 0 is closed. A reply carrying it went round a broken ring and may have
// been processed twice: it does not count as come back.
void TestMasterFaults::circulatedReplyIsDropped()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sim.command("image 0100002041"), std::string("ok"));
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(m.sim.command("image 050000C842"), std::string("ok"));
    int circulate = 1;
    m.sim.rewrite = [&circulate](const std::vector<uint8_t> &, std::vector<uint8_t> &reply) {
        if (circulate-- <= 0)
            return;
        const size_t lenFlags = ecwire::ecat::FirstDatagram + ecwire::dgram::LenFlags;
        ecwire::putU16(reply.data() + lenFlags, ecwire::getU16(reply.data() + lenFlags) | ecwire::dgram::Circulating);
    };
    QCOMPARE(m.exchange(), EC_NOFRAME);
    QCOMPARE(m.slave(1).inputs[0], uint8_t(0x01)); // nothing taken from it
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(m.slave(1).inputs[0], uint8_t(0x05));
}

void TestMasterFaults::silentBusReadsStateZero()
{
    MasterOnSim m("sensor,dig-in");
    QVERIFY(m.bringUp() > 0);
    m.sim.silent = true;
    QCOMPARE(ecx_readstate(m.c()), EC_STATE_NONE);
    QCOMPARE(m.slave(1).state, uint16_t(0));
    QCOMPARE(m.slave(2).state, uint16_t(0));
    QCOMPARE(m.exchange(), EC_NOFRAME);
    m.sim.silent = false;
    QCOMPARE(ecx_readstate(m.c()), EC_STATE_OPERATIONAL);
    QCOMPARE(m.exchange(), 2); // two slaves with inputs only
}

void TestMasterFaults::silentBusFindsNoSlave()
{
    MasterOnSim m("sensor");
    m.sim.silent = true;
    QVERIFY(ecx_config_init(m.c()) <= 0);
    QCOMPARE(m.c()->slavecount, 0);
    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 0);
}

namespace {

// A wire on which every datagram comes back with the same working counter,
// as if that many slaves had answered.
class CrowdTransport : public ethercat::Transport {
public:
    explicit CrowdTransport(uint16_t wkc) : wkc_(wkc) {}
    bool send(const uint8_t *frame, size_t len) override
    {
        reply_.assign(frame, frame + len);
        ecwire::ParsedFrame parsed;
        if (ecwire::parseFrame(reply_.data(), reply_.size(), parsed) != ecwire::ParseError::None)
            return false;
        for (const ecwire::DatagramView &d : parsed.datagrams)
            ecwire::putU16(reply_.data() + d.wkcOffset, wkc_);
        reply_[ecwire::eth::Source] |= ecwire::eth::SourceReturnedBit;
        pending_ = true;
        return true;
    }
    int receive(uint8_t *buf, size_t capacity, int) override
    {
        if (!pending_)
            return 0;
        pending_ = false;
        const size_t n = std::min(capacity, reply_.size());
        std::memcpy(buf, reply_.data(), n);
        return int(n);
    }

private:
    uint16_t wkc_;
    bool pending_ = false;
    std::vector<uint8_t> reply_;
};

} // namespace

void TestMasterFaults::moreSlavesThanTheListHolds()
{
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt);
    std::memset(ctx.get(), 0, sizeof(ecx_contextt));
    CrowdTransport crowd(EC_MAXSLAVE); // one more than slaves 1..EC_MAXSLAVE-1
    QCOMPARE(ecx_init_transport(ctx.get(), &crowd), 1);
    QVERIFY(ecx_config_init(ctx.get()) <= 0);
    QCOMPARE(ctx->slavecount, 0);
    ecx_close(ctx.get());
}

void TestMasterFaults::unknownSlaveKindRejected()
{
    SimTransport t("no-such-device");
    QVERIFY(!t.ok());
    // Device emulation means no processor, so no mailbox either.
    SimTransport emulated("sensor+device-emulation");
    QVERIFY(!emulated.ok());
}

void TestMasterFaults::callsWithoutInitAreHarmless()
{
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt);
    std::memset(ctx.get(), 0, sizeof(ecx_contextt));
    uint8_t iomap[64] = {};
    QCOMPARE(ecx_config_init(ctx.get()), 0);
    QCOMPARE(ecx_config_map_group(ctx.get(), iomap, 0), 0);
    QCOMPARE(bool(ecx_configdc(ctx.get())), false);
    QCOMPARE(ecx_readstate(ctx.get()), 0);
    QVERIFY(ecx_writestate(ctx.get(), 0) <= 0);
    QCOMPARE(ecx_statecheck(ctx.get(), 0, EC_STATE_OPERATIONAL, 1000), uint16_t(0));
    QCOMPARE(ecx_send_processdata(ctx.get()), 0);
    QCOMPARE(ecx_receive_processdata(ctx.get(), 1000), EC_NOFRAME);
    ecx_close(ctx.get());
}

void TestMasterFaults::closeTwiceIsHarmless()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    ecx_close(m.c());
    ecx_close(m.c());
    QCOMPARE(ecx_send_processdata(m.c()), 0);
    QCOMPARE(ecx_receive_processdata(m.c(), 1000), EC_NOFRAME);
    ecx_close(nullptr);
    // The same context comes up again on a fresh attach.
    QCOMPARE(ecx_init_transport(m.c(), &m.sim), 1);
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.exchange(), 1);
}

void TestMasterFaults::initErrorsForBadNames()
{
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt);
    std::memset(ctx.get(), 0, sizeof(ecx_contextt));
    QCOMPARE(ecx_init(ctx.get(), ""), 0);
    QCOMPARE(ecx_init(ctx.get(), nullptr), 0);
    const std::string longName(200, 'e');
    QCOMPARE(ecx_init(ctx.get(), longName.c_str()), 0);
    QCOMPARE(ecx_init(ctx.get(), "../../etc"), 0);
    QCOMPARE(ecx_init_transport(ctx.get(), nullptr), 0);
    QCOMPARE(ecx_init_transport(nullptr, nullptr), 0);
    ecx_close(ctx.get());
}

QTEST_APPLESS_MAIN(TestMasterFaults)
#include "tst_master_faults.moc"
