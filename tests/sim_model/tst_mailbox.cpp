// The mailbox SyncManagers and the firmware behind them: replies come frames
// later, a reply may wait from an earlier session, a lost reply comes back
// with the repeat request (ETG.1000.4 mailbox repeat: SM1 activate bit 1,
// answered in SM1 PDI control bit 1).
#include "test_master.h"

#include "slave.h"

using namespace testing;

namespace {

constexpr uint16_t Sm0Status = reg::sm(0) + sm::Status;
constexpr uint16_t Sm1Status = reg::sm(1) + sm::Status;
constexpr uint16_t Sm1Activate = reg::sm(1) + sm::Activate;
constexpr uint16_t Sm1PdiControl = reg::sm(1) + sm::PdiControl;

std::vector<uint8_t> request(uint16_t index, uint8_t sub, uint8_t counter)
{
    std::vector<uint8_t> req = encodeSdoUploadRequest(index, sub, false, counter);
    req.resize(128, 0);
    return req;
}

bool full(TestMaster &m, uint16_t status) { return m.fprd(0, status, 1).data.at(0) & sm::StatusMailboxFull; }

uint16_t indexOf(const Reply &r)
{
    SdoReply s;
    return decodeSdoReply(r.data.data(), r.data.size(), s) ? s.index : 0;
}

} // namespace

class TestMailbox : public QObject {
    Q_OBJECT
private slots:
    // The reply arrives after the device's time; the read mailbox reads full only once it is there.
    void replyComesAfterTheDeviceTime_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<qulonglong>("delayNs");
        QTest::newRow("default") << "sensor" << qulonglong(250'000);
        QTest::newRow("sdo-delay=20") << "sensor+sdo-delay=20" << qulonglong(20'000'000);
        QTest::newRow("slow") << "sensor+slow" << qulonglong(1'000'000'000);
    }
    void replyComesAfterTheDeviceTime()
    {
        QFETCH(QString, bus);
        QFETCH(qulonglong, delayNs);
        auto m = preOp(bus.toStdString());
        QCOMPARE(m->fpwr(0, 0x1000, request(0x1000, 0, 1)).wkc, uint16_t(1));
        const uint64_t written = m->clockNs;
        QVERIFY(!full(*m, Sm0Status)); // the firmware took the request
        QVERIFY(!full(*m, Sm1Status));
        QCOMPARE(m->fprd(0, 0x1080, 128).wkc, uint16_t(0));
        m->clockNs = written + delayNs - 1;
        QVERIFY(!full(*m, Sm1Status));
        m->clockNs = written + delayNs;
        QVERIFY(full(*m, Sm1Status));
        const Reply r = m->fprd(0, 0x1080, 128);
        QCOMPARE(r.wkc, uint16_t(1));
        QCOMPARE(indexOf(r), uint16_t(0x1000));
        QVERIFY(!full(*m, Sm1Status));
    }

    // One request at a time: the next waits in the write mailbox, which then takes no other;
    // replies that find the read mailbox full wait behind it.
    void requestsAndRepliesQueue()
    {
        auto m = preOp("sensor");
        const uint64_t d = m->timing(0).mailboxNs;
        QCOMPARE(m->fpwr(0, 0x1000, request(0x1000, 0, 1)).wkc, uint16_t(1));
        QCOMPARE(m->fpwr(0, 0x1000, request(0x1018, 1, 2)).wkc, uint16_t(1));
        QVERIFY(full(*m, Sm0Status));
        QCOMPARE(m->fpwr(0, 0x1000, request(0x1018, 2, 3)).wkc, uint16_t(0));
        m->clockNs += d;
        QVERIFY(full(*m, Sm1Status));
        QVERIFY(!full(*m, Sm0Status)); // the second request is taken once the first is answered
        m->clockNs += d;
        // Writing the read mailbox is refused; reading part of it does not release it.
        QCOMPARE(m->fpwr(0, 0x1080, {1, 2}).wkc, uint16_t(0));
        QCOMPARE(m->fprd(0, 0x1080, 16).wkc, uint16_t(1));
        QVERIFY(full(*m, Sm1Status));
        QCOMPARE(indexOf(m->fprd(0, 0x1080, 128)), uint16_t(0x1000));
        QCOMPARE(indexOf(m->fprd(0, 0x1080, 128)), uint16_t(0x1018)); // was waiting behind
        QCOMPARE(m->fprd(0, 0x1080, 128).wkc, uint16_t(0));
        QCOMPARE(m->fprd(0, 0x1000, 8).wkc, uint16_t(0)); // the write mailbox cannot be read
    }

    // The mailbox runs from PRE-OP on; a request in INIT is dropped, INIT drops what waits.
    void mailboxRunsFromPreOp()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.setupMailbox(0);
        QCOMPARE(m.fpwr(0, 0x1000, request(0x1000, 0, 1)).wkc, uint16_t(1));
        m.clockNs += m.timing(0).mailboxNs;
        QCOMPARE(m.fprd(0, 0x1080, 128).wkc, uint16_t(0));
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.fpwr(0, 0x1000, request(0x1000, 0, 2)).wkc, uint16_t(1));
        m.clockNs += m.timing(0).mailboxNs;
        QVERIFY(full(m, Sm1Status));
        QCOMPARE(m.request(0, al::Init), al::Init);
        QCOMPARE(m.fprd(0, 0x1080, 128).wkc, uint16_t(0));
        // Disabling the read mailbox drops its content too.
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QCOMPARE(m.fpwr(0, 0x1000, request(0x1000, 0, 3)).wkc, uint16_t(1));
        m.clockNs += m.timing(0).mailboxNs;
        QVERIFY(full(m, Sm1Status));
        m.writeSm(0, 1, 0x1080, 128, sm::ControlMailboxIn, 0);
        m.setupMailbox(0);
        QCOMPARE(m.fprd(0, 0x1080, 128).wkc, uint16_t(0));
    }

    // A reply of an earlier master session waits once the mailbox runs, even after the new
    // master cleared the SyncManagers and went through INIT; a master that drops replies that
    // do not answer its request still reads the right one.
    void staleReplyFromAnEarlierSession()
    {
        TestMaster m("sensor+stale-reply");
        m.assignStations();
        m.writeSm(0, 0, 0, 0, 0, 0);
        m.writeSm(0, 1, 0, 0, 0, 0);
        QCOMPARE(m.request(0, al::Init | al::ErrorFlag), al::Init);
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp), al::PreOp);
        QVERIFY(full(m, Sm1Status));
        const Reply stale = m.fprd(0, 0x1080, 128);
        SdoReply s;
        QVERIFY(decodeSdoReply(stale.data.data(), stale.data.size(), s));
        QCOMPARE(s.kind, SdoReply::Expedited);
        QCOMPARE(s.index, uint16_t(0x1C13));
        QCOMPARE(s.subindex, uint8_t(1));
        QCOMPARE(getU16(s.data.data()), uint16_t(0x1A00)); // true, but no answer to "how many PDOs"
        // Put again from the control channel: it waits ahead of the next reply.
        QCOMPARE(m.bus->command("stale-reply"), std::string("ok"));
        std::vector<uint8_t> count;
        QVERIFY2(m.upload(0, 0x1C13, 0, false, count), m.probe.error().c_str());
        QCOMPARE(count, std::vector<uint8_t>({1}));
        QVERIFY(m.bus->command("slave 1 stale-reply now").rfind("error: usage", 0) == 0);
        TestMaster plain("dig-in");
        QVERIFY(plain.bus->command("stale-reply").find("does not speak CoE") != std::string::npos);
    }

    // A reply lost on its way back: the slave counts it read; the repeat request puts it back.
    void repeatRequestRecoversALostReply()
    {
        auto m = preOp("sensor");
        const uint64_t d = m->timing(0).mailboxNs;
        QCOMPARE(m->bus->command("lose-reply"), std::string("ok"));
        QCOMPARE(m->fpwr(0, 0x1000, request(0x1018, 1, 1)).wkc, uint16_t(1));
        m->clockNs += d;
        QVERIFY(!m->fprd(0, 0x1080, 128).ok); // processed, but nothing came back
        QVERIFY(m->bus->lastFrameLost());
        QCOMPARE(m->bus->stats().lost, uint64_t(1));
        QVERIFY(!full(*m, Sm1Status));
        // Toggle the repeat request; the acknowledge follows after the firmware's time.
        const uint8_t act = m->fprd(0, Sm1Activate, 1).data[0];
        QCOMPARE(m->fpwr(0, Sm1Activate, {uint8_t(act ^ sm::ActivateRepeat)}).wkc, uint16_t(1));
        QCOMPARE(m->fprd(0, Sm1PdiControl, 1).data[0] & sm::PdiRepeatAck, 0);
        m->clockNs += d;
        QCOMPARE(m->fprd(0, Sm1PdiControl, 1).data[0] & sm::PdiRepeatAck, int(sm::PdiRepeatAck));
        const Reply again = m->fprd(0, 0x1080, 128);
        QCOMPARE(again.wkc, uint16_t(1));
        SdoReply r;
        QVERIFY(decodeSdoReply(again.data.data(), again.data.size(), r));
        QCOMPARE(r.index, uint16_t(0x1018));
        QCOMPARE(r.counter, uint8_t(1)); // the same message, its counter unchanged
        // Through the probe: a newer unread reply waits behind the repeated one.
        QCOMPARE(m->fpwr(0, 0x1000, request(0x1000, 0, 2)).wkc, uint16_t(1));
        m->clockNs += d;
        std::vector<uint8_t> repeated;
        QVERIFY2(m->probe.repeatLastReply(TestMaster::station(0), m->mailboxOf(0), repeated), m->probe.error().c_str());
        QVERIFY(decodeSdoReply(repeated.data(), repeated.size(), r));
        QCOMPARE(r.index, uint16_t(0x1018));
        QCOMPARE(indexOf(m->fprd(0, 0x1080, 128)), uint16_t(0x1000));
        QCOMPARE(m->bus->slave(0).stats().repeats, uint64_t(2));
        TestMaster plain("dig-in");
        QVERIFY(plain.bus->command("lose-reply").find("has no mailbox") != std::string::npos);
    }
};

QTEST_APPLESS_MAIN(TestMailbox)
#include "tst_mailbox.moc"
