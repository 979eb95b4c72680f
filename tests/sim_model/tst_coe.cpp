#include "test_master.h"

#include "slave.h"

using namespace testing;

class TestCoe : public QObject {
    Q_OBJECT

private slots:
    void expeditedUploads()
    {
        auto m = preOp("sensor");
        SdoReply r;
        QVERIFY(m->sdo(0, 0x1018, 0, false, r));
        QCOMPARE(r.kind, SdoReply::Expedited);
        QCOMPARE(r.data, std::vector<uint8_t>({4}));
        const SiiDevice &s = m->bus->slave(0).device().sii;
        const uint32_t expect[4] = {s.vendorId, s.productCode, s.revision, s.serial};
        for (uint8_t sub = 1; sub <= 4; ++sub) {
            QVERIFY(m->sdo(0, 0x1018, sub, false, r));
            QCOMPARE(r.kind, SdoReply::Expedited);
            QCOMPARE(r.data.size(), size_t(4));
            QCOMPARE(getU32(r.data.data()), expect[sub - 1]);
            QCOMPARE(r.counter, m->counter); // our counter follows the slave's 1..7
        }
        QVERIFY(m->sdo(0, 0x1000, 0, false, r));
        QCOMPARE(r.data.size(), size_t(4));
        // SM types and PDO assignment
        QVERIFY(m->sdo(0, 0x1C00, 0, false, r));
        QCOMPARE(r.data, std::vector<uint8_t>({4}));
        for (uint8_t sub = 1; sub <= 4; ++sub) {
            QVERIFY(m->sdo(0, 0x1C00, sub, false, r));
            QCOMPARE(r.data, std::vector<uint8_t>({sub}));
        }
        QVERIFY(m->sdo(0, 0x1C12, 0, false, r));
        QCOMPARE(r.data, std::vector<uint8_t>({0}));
        QVERIFY(m->sdo(0, 0x1C13, 0, false, r));
        QCOMPARE(r.data, std::vector<uint8_t>({1}));
        QVERIFY(m->sdo(0, 0x1C13, 1, false, r));
        QCOMPARE(getU16(r.data.data()), uint16_t(0x1A00));
        QVERIFY(m->sdo(0, 0x1A00, 0, false, r));
        QCOMPARE(r.data, std::vector<uint8_t>({2}));
        QVERIFY(m->sdo(0, 0x1A00, 1, false, r));
        QCOMPARE(getU32(r.data.data()), 0x60000108u);
        QVERIFY(m->sdo(0, 0x1A00, 2, false, r));
        QCOMPARE(getU32(r.data.data()), 0x60000220u);
    }

    void shortSensorMapsFewerBits()
    {
        auto m = preOp("short-sensor");
        SdoReply r;
        QVERIFY(m->sdo(0, 0x1A00, 2, false, r));
        QCOMPARE(getU32(r.data.data()), 0x60000218u);
    }

    void normalUploadOfAString()
    {
        auto m = preOp("sensor");
        std::vector<uint8_t> data;
        QVERIFY(m->upload(0, 0x1008, 0, false, data));
        QCOMPARE(std::string(data.begin(), data.end()), std::string("Pressure sensor"));
        SdoReply r;
        QVERIFY(m->sdo(0, 0x1008, 0, false, r));
        QCOMPARE(r.kind, SdoReply::Normal);
        QCOMPARE(r.completeSize, uint32_t(15));
    }

    void completeAccess()
    {
        auto m = preOp("sensor");
        std::vector<uint8_t> data;
        QVERIFY(m->upload(0, 0x1C13, 0, true, data));
        // sub 0 as 16 bits, then the PDO index
        QCOMPARE(data, std::vector<uint8_t>({1, 0, 0x00, 0x1A}));
        QVERIFY(m->upload(0, 0x1A00, 0, true, data));
        QCOMPARE(data.size(), size_t(2 + 8));
        QCOMPARE(getU32(data.data() + 2), 0x60000108u);
        QCOMPARE(getU32(data.data() + 6), 0x60000220u);
        QVERIFY(m->upload(0, 0x1018, 1, true, data)); // from sub 1: no count
        QCOMPARE(data.size(), size_t(16));
        uint32_t abort = 0;
        QVERIFY(!m->upload(0, 0x1018, 2, true, data, &abort));
        QCOMPARE(abort, coe::AbortUnsupportedAccess);
        QVERIFY(!m->upload(0, 0x1000, 0, true, data, &abort)); // not a record
        QCOMPARE(abort, coe::AbortUnsupportedAccess);
    }

    void segmentedUpload()
    {
        auto m = preOp("big-in");
        std::vector<uint8_t> data;
        QVERIFY(m->upload(0, 0x1C13, 0, true, data));
        QCOMPARE(data.size(), size_t(2 + 5 * 2));
        QVERIFY(m->upload(0, 0x1A03, 0, true, data));
        QCOMPARE(data.size(), size_t(2 + 250 * 4)); // larger than the 128-byte mailbox
        QCOMPARE(data[0], uint8_t(250));
        uint32_t bits = 0;
        for (size_t i = 0; i < 250; ++i) {
            const uint32_t e = getU32(data.data() + 2 + 4 * i);
            QCOMPARE(e >> 16, 0x6003u);
            QCOMPARE((e >> 8) & 0xFF, uint32_t(i + 1));
            bits += e & 0xFF;
        }
        QCOMPARE(bits, 8000u);
        // A wrong toggle aborts; a segment request with no transfer open too.
        SdoReply r;
        QVERIFY(m->sdo(0, 0x1A00, 0, true, r));
        QCOMPARE(r.kind, SdoReply::Normal);
        std::vector<uint8_t> reply;
        QVERIFY(m->mailbox(0, encodeSdoSegmentRequest(true, 3), reply));
        QVERIFY(decodeSdoReply(reply.data(), reply.size(), r));
        QCOMPARE(r.kind, SdoReply::Abort);
        QCOMPARE(r.abortCode, coe::AbortToggle);
        QCOMPARE(r.index, uint16_t(0x1A00));
        QVERIFY(m->mailbox(0, encodeSdoSegmentRequest(false, 4), reply));
        QVERIFY(decodeSdoReply(reply.data(), reply.size(), r));
        QCOMPARE(r.kind, SdoReply::Abort);
        QCOMPARE(r.abortCode, coe::AbortUnknownCommand);
    }

    void aborts()
    {
        auto m = preOp("sensor");
        std::vector<uint8_t> data;
        uint32_t abort = 0;
        QVERIFY(!m->upload(0, 0x2000, 0, false, data, &abort));
        QCOMPARE(abort, coe::AbortNoObject);
        QVERIFY(!m->upload(0, 0x1018, 5, false, data, &abort));
        QCOMPARE(abort, coe::AbortNoSubindex);
        // Downloads are refused.
        std::vector<uint8_t> req = encodeSdoUploadRequest(0x1C12, 0, false, 5);
        req[coe::Sdo] = 0x2F; // expedited download of 1 byte
        std::vector<uint8_t> reply;
        QVERIFY(m->mailbox(0, req, reply));
        SdoReply r;
        QVERIFY(decodeSdoReply(reply.data(), reply.size(), r));
        QCOMPARE(r.kind, SdoReply::Abort);
        QCOMPARE(r.abortCode, coe::AbortReadOnly);
        req[coe::Sdo + coe::SdoIndex + 1] = 0x30;
        QVERIFY(m->mailbox(0, req, reply));
        QVERIFY(decodeSdoReply(reply.data(), reply.size(), r));
        QCOMPARE(r.abortCode, coe::AbortNoObject);
    }

    void mailboxErrors()
    {
        auto m = preOp("sensor");
        std::vector<uint8_t> req = encodeSdoUploadRequest(0x1000, 0, false, 1);
        req[mbx::TypeCounter] = (req[mbx::TypeCounter] & 0xF0) | mbx::TypeFoE;
        std::vector<uint8_t> reply;
        QVERIFY(m->mailbox(0, req, reply));
        SdoReply r;
        QVERIFY(decodeSdoReply(reply.data(), reply.size(), r));
        QCOMPARE(r.kind, SdoReply::MailboxError);
        QCOMPARE(r.mailboxError, mbx::ErrUnsupportedProtocol);
        std::vector<uint8_t> huge = encodeSdoUploadRequest(0x1000, 0, false, 2);
        putU16(huge.data(), 500); // more than the mailbox holds
        QVERIFY(m->mailbox(0, huge, reply));
        QVERIFY(decodeSdoReply(reply.data(), reply.size(), r));
        QCOMPARE(r.kind, SdoReply::MailboxError);
        QCOMPARE(r.mailboxError, mbx::ErrInvalidSize);
    }
};

QTEST_APPLESS_MAIN(TestCoe)
#include "tst_coe.moc"
