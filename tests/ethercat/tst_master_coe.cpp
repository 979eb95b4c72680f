// PDO sizes over CoE against scripted mailboxes (FakeMailbox): complete
// access refused or not announced, expedited, normal and segmented replies,
// slow replies, replies that are not ours, a reply frame lost on the way back.
#include "coe_slave.h"
#include "stderr_capture.h"

#include <soem/soem.h>

#include <QElapsedTimer>
#include <QtTest>

#include <cstring>
#include <memory>

#include "coe.h"

namespace {

constexpr uint8_t kSdo = 0x01, kSdoInfo = 0x02, kPdoAssign = 0x04, kCompleteAccess = 0x20;

std::vector<uint8_t> expedited(uint16_t index, uint8_t subindex, uint8_t value, uint8_t counter)
{
    return ecwire::encodeSdoExpeditedResponse(index, subindex, &value, 1, counter);
}

} // namespace

class TestMasterCoe : public QObject {
    Q_OBJECT
private slots:
    void replyStyles_data();
    void replyStyles();
    void completeAccessRefusedFallsBackToSubindexes();
    void completeAccessCountTakes16Bits();
    void segmentedReplyCutToDeclaredSize();
    void replyLeftByAnEarlierMasterIsDropped();
    void replyForAnotherObjectIsDropped();
    void repeatedMessageIsDropped();
    void slowReplyAfterOneSecond();
    void lostReplyRecoveredWithRepeatRequest_data();
    void lostReplyRecoveredWithRepeatRequest();
    void fallbackSaysWhy();
    void uploadEndsWhileEmergenciesKeepComing();
    void unmatchedRepliesStillFallBackToSubindexes();
    void uploadWithoutIndicatedSize();
    void slaveWithAFixedCounter();
    void assignmentObjectFollowsTheSyncManager_data();
    void assignmentObjectFollowsTheSyncManager();
};

// The same objects as expedited, normal or segmented replies, with complete
// access and without: the same sizes.
void TestMasterCoe::replyStyles_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<bool>("completeAccess");
    QTest::addColumn<int>("readSize");
    QTest::newRow("expedited") << int(FakeMailbox::Style::Expedited) << false << 128;
    QTest::newRow("expedited, complete access") << int(FakeMailbox::Style::Expedited) << true << 128;
    QTest::newRow("normal") << int(FakeMailbox::Style::Normal) << false << 128;
    QTest::newRow("normal, complete access") << int(FakeMailbox::Style::Normal) << true << 128;
    QTest::newRow("segmented") << int(FakeMailbox::Style::Segmented) << false << 128;
    QTest::newRow("segmented, complete access") << int(FakeMailbox::Style::Segmented) << true << 128;
    QTest::newRow("complete access, small read mailbox") << int(FakeMailbox::Style::Normal) << true << 20;
    // ETG.1000.6 upload segment: a short last segment may come without the
    // padding to 7 bytes; the mailbox length gives its size.
    QTest::newRow("segmented, last segment unpadded") << int(FakeMailbox::Style::Segmented) << false << 128;
}

void TestMasterCoe::replyStyles()
{
    QFETCH(int, style);
    QFETCH(bool, completeAccess);
    QFETCH(int, readSize);
    CoeSlave s(uint8_t(kSdo | kPdoAssign | (completeAccess ? kCompleteAccess : 0)), uint16_t(readSize));
    s.mbx.style = FakeMailbox::Style(style);
    s.mbx.unpaddedLastSegment = QByteArray(QTest::currentDataTag()).contains("unpadded");
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QCOMPARE(s.slave().Ibytes, 5u);
    QCOMPARE(s.slave().Obytes, 0u);
    QVERIFY(s.sizesFromCoe());
    QCOMPARE(s.mbx.completeAccessRequests > 0, completeAccess);
}

// Complete access announced (CoE details bit 5) and still refused with an
// abort: each subindex on its own, and no more complete access for the slave.
void TestMasterCoe::completeAccessRefusedFallsBackToSubindexes()
{
    CoeSlave s(kSdo | kSdoInfo | kPdoAssign | kCompleteAccess);
    s.mbx.completeAccess = false;
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
    QCOMPARE(s.mbx.completeAccessRequests, 1);
}

// ETG.1000.6 SDO with complete access from subindex 0: the count takes 16
// bits, the values follow from the third byte on.
void TestMasterCoe::completeAccessCountTakes16Bits()
{
    CoeSlave s(kSdo | kPdoAssign | kCompleteAccess);
    s.mbx.style = FakeMailbox::Style::Normal;
    s.mbx.setList(0x1A00, {0x60000108, 0x60000208, 0x60000310}, 4);
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(32));
    QVERIFY(s.mbx.completeAccessRequests >= 2);
    QCOMPARE(s.mbx.requests, s.mbx.completeAccessRequests);
}

// The last segment may carry more than the transfer declared (padding
// without the "unused bytes" count): the data is cut to the declared size.
void TestMasterCoe::segmentedReplyCutToDeclaredSize()
{
    CoeSlave s(kSdo | kPdoAssign | kCompleteAccess);
    s.mbx.style = FakeMailbox::Style::Segmented;
    s.mbx.sloppyLastSegment = true;
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
}

// A reply from an earlier master's session waits in the read mailbox: it is
// read and dropped before the first request.
void TestMasterCoe::replyLeftByAnEarlierMasterIsDropped()
{
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.waiting.push_back(expedited(0x1C12, 0, 3, 5));
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QCOMPARE(s.slave().Obits, uint16_t(0));
}

// A reply that names another object than the one asked for (late, or meant
// for someone else) is dropped; the master keeps waiting for its own.
void TestMasterCoe::replyForAnotherObjectIsDropped()
{
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.foreignBeforeRequest = 2; // before the reply to 0x1C13:00
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
}

// ETG.1000.4 mailbox header: the counter tells a repeated message from a new
// one. The previous reply (0x1A00:01, same counter) arrives again before the
// reply to 0x1A00:02: it is not taken for it.
void TestMasterCoe::repeatedMessageIsDropped()
{
    CoeSlave s(kSdo | kPdoAssign);
    // Requests: 0x1C12:00, 0x1C13:00, 0x1C13:01, 0x1A00:00, 0x1A00:01, 0x1A00:02.
    s.mbx.repeatBeforeRequest = 6;
    s.findSizes();
    QCOMPARE(s.mbx.requests, 6);
    QCOMPARE(s.slave().Ibits, uint16_t(40));
}

// Slow devices answer an SDO after about a second.
void TestMasterCoe::slowReplyAfterOneSecond()
{
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.firstReplyDelayUs = 1200000;
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
}

// ETG.1000.4 mailbox repeat: a read of the read mailbox whose frame got lost.
// If it emptied the mailbox, the master toggles the repeat request, waits for
// the acknowledge and reads the reply again, also when the slave at once put
// its next message (an emergency) in: "still full" does not mean "the read
// never got there" unless the message there is the one after the last taken.
void TestMasterCoe::lostReplyRecoveredWithRepeatRequest_data()
{
    QTest::addColumn<bool>("reachedSlave");
    QTest::addColumn<bool>("nextMessageAtOnce");
    QTest::addColumn<int>("repeats");
    QTest::newRow("emptied, lost on the way back") << true << false << 1;
    QTest::newRow("emptied, the next message already in") << true << true << 1;
    QTest::newRow("lost before the slave") << false << false << 0;
}

void TestMasterCoe::lostReplyRecoveredWithRepeatRequest()
{
    QFETCH(bool, reachedSlave);
    QFETCH(bool, nextMessageAtOnce);
    QFETCH(int, repeats);
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.dropNextReadReply = reachedSlave;
    s.mbx.emergencyAfterLostRead = nextMessageAtOnce;
    s.mbx.dropNextReadRequest = !reachedSlave;
    QElapsedTimer t;
    t.start();
    s.findSizes();
    QCOMPARE(s.mbx.repeats, repeats);
    QCOMPARE(s.mbx.emergencies, nextMessageAtOnce ? 1 : 0); // read after the repeated reply, and dropped
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
    QVERIFY2(t.elapsed() < ethercat::kSdoTimeoutUs / 1000, qPrintable(QString::number(t.elapsed())));
}

// CoE offered but without the assignment objects: the SII PDO categories
// give the sizes, and one line says so and why.
void TestMasterCoe::fallbackSaysWhy()
{
    CoeSlave s(kSdo, 128, false);
    s.book().siiIbits = 40;
    s.book().siiPdoIn = true;
    testsupport::StderrCapture err;
    s.findSizes();
    const QString text = QString::fromStdString(err.text());
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(!s.sizesFromCoe());
    QCOMPARE(text.count('\n'), 1);
    QVERIFY2(text.startsWith("ecx_config_map_group: slave 1: inputs from the SII PDO categories (SDO 0x1C12:00 aborted "
                             "with code 0x06020000; SDO 0x1C13:00 aborted with code 0x06020000)"),
             qPrintable(text));
    // The same for a caller: the line, the source and the reason.
    const ethercat::Diagnostics d = ethercat::diagnostics(s.ctx.get());
    QCOMPARE(d.reasons.size(), size_t(1));
    QCOMPARE(QString::fromStdString(d.reasons[0] + "\n"), text);
    QCOMPARE(d.slaves.at(1).inputsFrom, ethercat::SizeSource::SiiPdo);
    QCOMPARE(d.slaves.at(1).sizesFallback,
             std::string("SDO 0x1C12:00 aborted with code 0x06020000; SDO 0x1C13:00 aborted with code 0x06020000"));
}

// A mailbox that keeps filling with emergencies: the upload still ends
// within its time and says what it got instead of a reply.
void TestMasterCoe::uploadEndsWhileEmergenciesKeepComing()
{
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.emergencyFlood = true;
    std::vector<uint8_t> data;
    ethercat::SdoError err;
    QElapsedTimer t;
    t.start();
    QVERIFY(!ethercat::sdoUpload(s.ctx.get(), 1, 0x1C13, 0, false, data, &err));
    const qint64 ms = t.elapsed();
    QVERIFY2(ms < ethercat::kSdoTimeoutUs / 1000 + 1000, qPrintable(QString::number(ms)));
    QVERIFY(s.mbx.emergencies > 1);
    QCOMPARE(err.kind, ethercat::SdoError::Unmatched);
    QVERIFY2(QString::fromStdString(err.text).startsWith("SDO 0x1C13:00: no reply within 3000 ms (")
                 && QString::fromStdString(err.text).contains("the last: CoE emergency"),
             err.text.c_str());
}

// Messages came but none was the reply (this slave aborts complete access
// naming object 0x0000:00): that is not silence, so the objects are still
// read subindex by subindex and the sizes come from CoE.
void TestMasterCoe::unmatchedRepliesStillFallBackToSubindexes()
{
    CoeSlave s(kSdo | kPdoAssign | kCompleteAccess);
    s.mbx.caAbortWithoutObject = true;
    s.findSizes();
    QCOMPARE(s.mbx.completeAccessRequests, 1);
    QVERIFY(s.book().caRefused);
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
}

// ETG.1000.6 upload response 0x40: normal transfer, size not indicated. The
// size field is reserved; segments follow until the one marked last.
void TestMasterCoe::uploadWithoutIndicatedSize()
{
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.style = FakeMailbox::Style::Segmented;
    s.mbx.sizeNotIndicated = true;
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
    std::vector<uint8_t> data;
    ethercat::SdoError err;
    QVERIFY2(ethercat::sdoUpload(s.ctx.get(), 1, 0x1A00, 2, false, data, &err), err.text.c_str());
    QCOMPARE(data, std::vector<uint8_t>({0x20, 0x02, 0x00, 0x60}));
}

// A slave that does not count its messages (every one carries counter 1):
// only right after a repeat request does an equal counter mean a repetition.
void TestMasterCoe::slaveWithAFixedCounter()
{
    CoeSlave s(kSdo | kPdoAssign);
    s.mbx.fixedCounter = true;
    QElapsedTimer t;
    t.start();
    s.findSizes();
    QCOMPARE(s.slave().Ibits, uint16_t(40));
    QVERIFY(s.sizesFromCoe());
    QVERIFY2(t.elapsed() < ethercat::kSdoTimeoutUs / 1000, qPrintable(QString::number(t.elapsed())));
}

// ETG.1000.6: the PDO assignment of SyncManager n is object 0x1C10 + n. A
// device whose inputs sit on SyncManager 2 lists them in 0x1C12, by the SII's
// SyncManager types or, without them, by 0x1C00.
void TestMasterCoe::assignmentObjectFollowsTheSyncManager_data()
{
    QTest::addColumn<bool>("siiTypes");
    QTest::newRow("SII SyncManager types") << true;
    QTest::newRow("types from 0x1C00") << false;
}

void TestMasterCoe::assignmentObjectFollowsTheSyncManager()
{
    QFETCH(bool, siiTypes);
    CoeSlave s(kSdo | kPdoAssign, 128, false);
    s.mbx.setList(0x1C12, {0x1A00}, 2);
    s.mbx.setList(0x1A00, {0x60000108, 0x60000220}, 4);
    s.mbx.setList(0x1C00, {1, 2, 4}, 1);
    ec_slavet &sl = s.slave();
    s.book().smCount = siiTypes ? 3 : 0;
    sl.SMtype[2] = siiTypes ? 4 : 0; // inputs
    sl.SMtype[3] = 0;
    s.findSizes();
    QCOMPARE(sl.Ibits, uint16_t(40));
    QCOMPARE(sl.Obits, uint16_t(0));
    QVERIFY(s.sizesFromCoe());
    QCOMPARE(int(sl.SMtype[2]), 4);
    QCOMPARE(ethercat::processDataSm(sl, s.book().smCount, false), 2);
    QCOMPARE(ethercat::processDataSm(sl, s.book().smCount, true), -1);
}

QTEST_APPLESS_MAIN(TestMasterCoe)
#include "tst_master_coe.moc"
