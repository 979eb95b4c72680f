// What the master records for its caller: the context's error list, where
// SOEM records errors (SDO aborts, CoE emergencies, mailbox errors), read
// with SOEM's calls; and its reasons, kept for ethercat::diagnostics.
#include "coe.h"
#include "coe_slave.h"

#include <ethercat/diagnostics.h>
#include <soem/soem.h>

#include <QtTest>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint8_t kSdoPdoAssign = 0x05;

std::vector<ec_errort> popAll(ecx_contextt *c)
{
    std::vector<ec_errort> out;
    ec_errort e;
    while (ecx_poperror(c, &e))
        out.push_back(e);
    return out;
}

} // namespace

class TestMasterErrors : public QObject {
    Q_OBJECT
private slots:
    void recordedWhereSoemRecordsThem_data();
    void recordedWhereSoemRecordsThem();
    void errorListKeepsTheNewest();
    void reasonsKeptForTheCaller();
};

enum class Fault { MissingObject, MailboxErrorReply, EmergencyBetweenReplies };
Q_DECLARE_METATYPE(Fault)

void TestMasterErrors::recordedWhereSoemRecordsThem_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("code"); // abort code, mailbox error detail, emergency error code
    QTest::addColumn<QString>("text"); // what ecx_elist2string says of it
    QTest::newRow("SDO abort") << Fault::MissingObject << int(EC_ERR_TYPE_SDO_ERROR) << quint32(0x06020000)
                               << "slave 1: SDO abort on 0x2000:01: 0x06020000 (the object does not exist in the "
                                  "object dictionary)\n";
    QTest::newRow("mailbox error") << Fault::MailboxErrorReply << int(EC_ERR_TYPE_MBX_ERROR) << quint32(2)
                                   << "slave 1: mailbox error 0x0002 (mailbox protocol not supported)\n";
    QTest::newRow("emergency") << Fault::EmergencyBetweenReplies << int(EC_ERR_TYPE_EMERGENCY) << quint32(0x8130)
                               << "slave 1: emergency 0x8130, error register 0x10, data 0x00 0x0000 0x0000\n";
}

void TestMasterErrors::recordedWhereSoemRecordsThem()
{
    QFETCH(Fault, fault);
    QFETCH(int, type);
    QFETCH(quint32, code);
    QFETCH(QString, text);
    CoeSlave s(kSdoPdoAssign);
    QVERIFY(!ecx_iserror(s.ctx.get()));
    if (fault == Fault::EmergencyBetweenReplies) {
        // A reply read back after a lost frame, and at once an emergency
        // behind it: read while the next request waits for its reply.
        s.mbx.dropNextReadReply = true;
        s.mbx.emergencyAfterLostRead = true;
        s.findSizes();
        QVERIFY(s.sizesFromCoe());
    } else {
        s.mbx.mailboxErrorReply = fault == Fault::MailboxErrorReply ? 2 : 0;
        std::vector<uint8_t> data;
        ethercat::SdoError err;
        QVERIFY(!ethercat::sdoUpload(s.ctx.get(), 1, 0x2000, 1, false, data, &err));
    }
    QVERIFY(ecx_iserror(s.ctx.get()));
    QCOMPARE(s.ctx->ecaterror, boolean(TRUE));
    const std::vector<ec_errort> all = popAll(s.ctx.get());
    QCOMPARE(all.size(), size_t(1));
    const ec_errort &e = all[0];
    QCOMPARE(int(e.Etype), type);
    QCOMPARE(e.Slave, uint16_t(1));
    QCOMPARE(e.Signal, boolean(FALSE)); // read now
    QCOMPARE(type == EC_ERR_TYPE_SDO_ERROR ? quint32(e.AbortCode) : quint32(e.ErrorCode), code);
    if (type == EC_ERR_TYPE_SDO_ERROR)
        QCOMPARE(e.Index, uint16_t(0x2000));
    if (type == EC_ERR_TYPE_EMERGENCY)
        QCOMPARE(e.ErrorReg, uint8_t(0x10));
    QCOMPARE(ecx_iserror(s.ctx.get()), boolean(FALSE));
    QCOMPARE(s.ctx->ecaterror, boolean(FALSE));
    // The same entry once more, taken off by ecx_elist2string.
    ecx_pusherror(s.ctx.get(), &e);
    QCOMPARE(QString(ecx_elist2string(s.ctx.get())), text);
    QCOMPARE(QString(ecx_elist2string(s.ctx.get())), QString());
}

// The list holds the last EC_MAXELIST entries, oldest first; a context whose
// list was never cleared (its ends out of range) holds none.
void TestMasterErrors::errorListKeepsTheNewest()
{
    std::unique_ptr<ecx_contextt> c(new ecx_contextt);
    std::memset(c.get(), 0, sizeof *c);
    c->elist.head = -7;
    c->elist.tail = 12345;
    QCOMPARE(ecx_iserror(c.get()), boolean(FALSE));
    ec_errort e;
    std::memset(&e, 0, sizeof e);
    e.Etype = EC_ERR_TYPE_PACKET_ERROR;
    constexpr int kMore = 5;
    for (int i = 0; i < EC_MAXELIST + kMore; ++i) {
        e.Slave = uint16_t(i);
        ecx_pusherror(c.get(), &e);
    }
    const std::vector<ec_errort> all = popAll(c.get());
    QCOMPARE(int(all.size()), EC_MAXELIST);
    for (int i = 0; i < EC_MAXELIST; ++i)
        QCOMPARE(int(all[size_t(i)].Slave), i + kMore);
    QCOMPARE(ecx_iserror(c.get()), boolean(FALSE));
}

// A failed ecx_init says why on stderr and to the caller; the reason stays
// after ecx_close and goes with the next session.
void TestMasterErrors::reasonsKeptForTheCaller()
{
    std::unique_ptr<ecx_contextt> c(new ecx_contextt);
    std::memset(c.get(), 0, sizeof *c);
    QCOMPARE(ecx_init(c.get(), "nosuch0"), 0);
    ecx_close(c.get());
    std::vector<std::string> reasons = ethercat::diagnostics(c.get()).reasons;
    QCOMPARE(reasons.size(), size_t(1));
    QVERIFY2(QString::fromStdString(reasons[0]).startsWith("ecx_init: cannot open adapter \"nosuch0\": "),
             reasons[0].c_str());
    FakeMailbox mbx;
    QCOMPARE(ecx_init_transport(c.get(), &mbx), 1);
    QVERIFY(ethercat::diagnostics(c.get()).reasons.empty());
    ecx_close(c.get());
}

QTEST_APPLESS_MAIN(TestMasterErrors)
#include "tst_master_errors.moc"
