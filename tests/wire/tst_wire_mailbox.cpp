#include <QtTest>

#include "ecwire/le.h"
#include "ecwire/mailbox.h"

using namespace ecwire;

class TestMailbox : public QObject {
    Q_OBJECT
private slots:
    void headerRoundTrip()
    {
        MailboxHeader h;
        h.length = 10;
        h.address = 0x1234;
        h.channel = 5;
        h.priority = 2;
        h.type = mbx::TypeCoE;
        h.counter = 6;
        uint8_t raw[16] = {};
        encodeMailboxHeader(raw, h);
        QCOMPARE(getU16(raw), uint16_t(10));
        QCOMPARE(raw[4], uint8_t(5 | (2 << 6)));
        QCOMPARE(raw[5], uint8_t(3 | (6 << 4)));
        MailboxHeader d;
        QVERIFY(decodeMailboxHeader(raw, sizeof raw, d));
        QCOMPARE(d.address, h.address);
        QCOMPARE(d.channel, h.channel);
        QCOMPARE(d.priority, h.priority);
        QCOMPARE(d.type, h.type);
        QCOMPARE(d.counter, h.counter);
        std::string err;
        QVERIFY(!decodeMailboxHeader(raw, 5, d, &err));
        QVERIFY(!decodeMailboxHeader(raw, 15, d, &err)); // declares 10, 9 present
        QVERIFY(err.find("10") != std::string::npos);
        QCOMPARE(mbx::nextCounter(0), uint8_t(1));
        QCOMPARE(mbx::nextCounter(7), uint8_t(1));
    }

    void uploadRequest()
    {
        const auto m = encodeSdoUploadRequest(0x1018, 2, false, 3);
        QCOMPARE(m.size(), size_t(16));
        QCOMPARE(getU16(m.data()), uint16_t(10));
        QCOMPARE(m[5], uint8_t(0x33));
        QCOMPARE(getU16(m.data() + 6), uint16_t(0x2000));
        QCOMPARE(m[8], uint8_t(0x40));
        QCOMPARE(getU16(m.data() + 9), uint16_t(0x1018));
        QCOMPARE(m[11], uint8_t(2));
        const auto ca = encodeSdoUploadRequest(0x1C12, 0, true, 1);
        QCOMPARE(ca[8], uint8_t(0x50));

        SdoRequest r;
        uint16_t merr = 0;
        QVERIFY(decodeSdoRequest(ca.data(), ca.size(), r, &merr));
        QCOMPARE(r.kind, SdoRequest::Upload);
        QVERIFY(r.completeAccess);
        QCOMPARE(r.index, uint16_t(0x1C12));
        QCOMPARE(r.counter, uint8_t(1));
        const auto seg = encodeSdoSegmentRequest(true, 2);
        QVERIFY(decodeSdoRequest(seg.data(), seg.size(), r, &merr));
        QCOMPARE(r.kind, SdoRequest::UploadSegment);
        QVERIFY(r.toggle);
        QCOMPARE(seg[8], uint8_t(0x70));
    }

    void requestErrors()
    {
        auto m = encodeSdoUploadRequest(0x1000, 0, false, 1);
        SdoRequest r;
        uint16_t merr = 0;
        std::string err;
        QVERIFY(!decodeSdoRequest(m.data(), 4, r, &merr, &err));
        QCOMPARE(merr, mbx::ErrSizeTooShort);
        QVERIFY(!decodeSdoRequest(m.data(), 12, r, &merr, &err));
        QCOMPARE(merr, mbx::ErrInvalidSize);
        auto foe = m;
        foe[5] = (foe[5] & 0xF0) | mbx::TypeFoE;
        QVERIFY(!decodeSdoRequest(foe.data(), foe.size(), r, &merr, &err));
        QCOMPARE(merr, mbx::ErrUnsupportedProtocol);
        auto info = m;
        putU16(info.data() + 6, uint16_t(coe::ServiceSdoInfo << 12));
        QVERIFY(!decodeSdoRequest(info.data(), info.size(), r, &merr, &err));
        QCOMPARE(merr, mbx::ErrServiceNotSupported);
        auto shortSdo = m;
        putU16(shortSdo.data(), 5);
        QVERIFY(!decodeSdoRequest(shortSdo.data(), shortSdo.size(), r, &merr, &err));
        QCOMPARE(merr, mbx::ErrSizeTooShort);
        auto download = m;
        download[8] = 0x23;
        QVERIFY(decodeSdoRequest(download.data(), download.size(), r, &merr));
        QCOMPARE(r.kind, SdoRequest::Download);
    }

    void expedited_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("command");
        QTest::newRow("1") << 1 << 0x4F;
        QTest::newRow("2") << 2 << 0x4B;
        QTest::newRow("3") << 3 << 0x47;
        QTest::newRow("4") << 4 << 0x43;
    }
    void expedited()
    {
        QFETCH(int, size);
        QFETCH(int, command);
        const uint8_t data[4] = {0xA1, 0xB2, 0xC3, 0xD4};
        auto m = encodeSdoExpeditedResponse(0x1018, 1, data, size_t(size), 4);
        QCOMPARE(int(m[8]), command);
        m.resize(128, 0); // read from a larger mailbox area
        SdoReply r;
        std::string err;
        QVERIFY2(decodeSdoReply(m.data(), m.size(), r, &err), err.c_str());
        QCOMPARE(r.kind, SdoReply::Expedited);
        QCOMPARE(r.index, uint16_t(0x1018));
        QCOMPARE(r.subindex, uint8_t(1));
        QCOMPARE(r.counter, uint8_t(4));
        QCOMPARE(r.data, std::vector<uint8_t>(data, data + size));
    }

    void normalAndSegments()
    {
        std::vector<uint8_t> obj(300);
        for (size_t i = 0; i < obj.size(); ++i)
            obj[i] = uint8_t(i);
        const size_t cap = sdoNormalCapacity(128);
        QCOMPARE(cap, size_t(112));
        QCOMPARE(sdoSegmentCapacity(128), size_t(119));
        auto m = encodeSdoNormalResponse(0x1A00, 0, uint32_t(obj.size()), obj.data(), cap, 1, true);
        QCOMPARE(m.size(), size_t(128));
        QCOMPARE(m[8], uint8_t(0x41));
        SdoReply r;
        QVERIFY(decodeSdoReply(m.data(), m.size(), r));
        QCOMPARE(r.kind, SdoReply::Normal);
        QCOMPARE(r.completeSize, 300u);
        QCOMPARE(r.data.size(), cap);
        QVERIFY(!r.last);

        std::vector<uint8_t> got = r.data;
        bool toggle = false;
        while (got.size() < obj.size()) {
            const size_t n = std::min(sdoSegmentCapacity(128), obj.size() - got.size());
            const bool last = got.size() + n == obj.size();
            auto s = encodeSdoSegmentResponse(toggle, last, obj.data() + got.size(), n, 2);
            QVERIFY(s.size() <= 128);
            s.resize(128, 0xEE);
            QVERIFY(decodeSdoReply(s.data(), s.size(), r));
            QCOMPARE(r.kind, SdoReply::Segment);
            QCOMPARE(r.toggle, toggle);
            QCOMPARE(r.last, last);
            got.insert(got.end(), r.data.begin(), r.data.end());
            toggle = !toggle;
        }
        QCOMPARE(got, obj);

        // A short last segment is padded to 7 bytes and says how many are unused.
        const uint8_t two[2] = {9, 8};
        auto s = encodeSdoSegmentResponse(true, true, two, 2, 3);
        QCOMPARE(getU16(s.data()), uint16_t(10));
        QCOMPARE(s[8], uint8_t(0x10 | (5 << 1) | 1));
        QVERIFY(decodeSdoReply(s.data(), s.size(), r));
        QCOMPARE(r.data, std::vector<uint8_t>({9, 8}));
        // Some devices send a short last segment without the padding: the
        // mailbox length gives its size (ETG.1000.6 segment, bits 1-3 = 7 - n).
        auto unpadded = s;
        putU16(unpadded.data(), 2 + 1 + 2);
        unpadded.resize(mbx::HeaderSize + 2 + 1 + 2);
        QVERIFY(decodeSdoReply(unpadded.data(), unpadded.size(), r));
        QCOMPARE(r.data, std::vector<uint8_t>({9, 8}));
        QVERIFY(r.last);
        unpadded.resize(128, 0xEE); // read from the whole mailbox area
        QVERIFY(decodeSdoReply(unpadded.data(), unpadded.size(), r));
        QCOMPARE(r.data, std::vector<uint8_t>({9, 8}));
        // ... and the smaller count holds when the unused-bytes field says fewer.
        auto fewer = encodeSdoSegmentResponse(false, true, obj.data(), 4, 3);
        fewer[8] = uint8_t((6 << 1) | 1); // 1 byte of 7 used
        putU16(fewer.data(), 2 + 1 + 4);
        QVERIFY(decodeSdoReply(fewer.data(), fewer.size(), r));
        QCOMPARE(r.data, std::vector<uint8_t>({0}));

        // A normal response without the size indicated (0x40): the size field
        // is reserved, the bytes after the header are data, segments follow.
        auto open = encodeSdoNormalResponse(0x1A00, 0, 0xFFFFFFFF, obj.data(), 3, 4);
        open[8] = 0x40;
        QVERIFY(decodeSdoReply(open.data(), open.size(), r));
        QCOMPARE(r.kind, SdoReply::Normal);
        QVERIFY(!r.sizeIndicated);
        QCOMPARE(r.completeSize, 3u); // what this reply carries, not the reserved field
        QCOMPARE(r.data, std::vector<uint8_t>(obj.begin(), obj.begin() + 3));
        QVERIFY(!r.last);
        const auto sized = encodeSdoNormalResponse(0x1A00, 0, 3, obj.data(), 3, 4);
        QVERIFY(decodeSdoReply(sized.data(), sized.size(), r));
        QVERIFY(r.sizeIndicated);
        QVERIFY(r.last);

        // Whole object in the normal response
        auto whole = encodeSdoNormalResponse(0x1C12, 0, 4, obj.data(), 4, 1);
        QVERIFY(decodeSdoReply(whole.data(), whole.size(), r));
        QVERIFY(r.last);
        QCOMPARE(r.data.size(), size_t(4));
    }

    void abortAndMailboxError()
    {
        auto a = encodeSdoAbort(0x2000, 3, coe::AbortNoObject, 5);
        SdoReply r;
        QVERIFY(decodeSdoReply(a.data(), a.size(), r));
        QCOMPARE(r.kind, SdoReply::Abort);
        QCOMPARE(r.abortCode, coe::AbortNoObject);
        QCOMPARE(r.index, uint16_t(0x2000));
        QCOMPARE(r.subindex, uint8_t(3));
        auto e = encodeMailboxError(mbx::ErrServiceNotSupported, 2);
        QVERIFY(decodeSdoReply(e.data(), e.size(), r));
        QCOMPARE(r.kind, SdoReply::MailboxError);
        QCOMPARE(r.mailboxError, mbx::ErrServiceNotSupported);
    }

    void replyLengthChecks()
    {
        SdoReply r;
        std::string err;
        auto a = encodeSdoAbort(0x2000, 3, coe::AbortNoObject, 5);
        for (size_t len = 0; len < a.size(); ++len) {
            std::unique_ptr<uint8_t[]> exact(new uint8_t[len + 1]);
            std::copy(a.begin(), a.begin() + long(len), exact.get());
            QVERIFY(!decodeSdoReply(exact.get(), len, r, &err));
        }
        auto shortDeclared = a;
        putU16(shortDeclared.data(), 6); // says 6 bytes: CoE header + 4 of the SDO header
        QVERIFY(!decodeSdoReply(shortDeclared.data(), shortDeclared.size(), r, &err));
        auto shortSeg = encodeSdoSegmentResponse(false, true, nullptr, 0, 1);
        putU16(shortSeg.data(), 2); // the CoE header only: no segment command
        QVERIFY(!decodeSdoReply(shortSeg.data(), shortSeg.size(), r, &err));
        auto e = encodeMailboxError(1, 1);
        putU16(e.data(), 2);
        QVERIFY(!decodeSdoReply(e.data(), e.size(), r, &err));
        auto eoe = encodeSdoAbort(0, 0, 0, 1);
        eoe[5] = mbx::TypeEoE;
        QVERIFY(!decodeSdoReply(eoe.data(), eoe.size(), r, &err));
        QVERIFY(err.find("CoE") != std::string::npos);
        auto download = encodeSdoAbort(0, 0, 0, 1);
        download[8] = 0x60; // a download response is not an upload reply
        QVERIFY(!decodeSdoReply(download.data(), download.size(), r, &err));
        // A normal response whose size exceeds the bytes present gives only what is there.
        std::vector<uint8_t> obj(20, 7);
        auto n = encodeSdoNormalResponse(0x1A00, 0, 1000, obj.data(), obj.size(), 1);
        QVERIFY(decodeSdoReply(n.data(), n.size(), r));
        QCOMPARE(r.data.size(), size_t(20));
        QVERIFY(!r.last);
    }

    // ETG.1000.6 CoE emergency: error code, error register and five bytes of
    // the manufacturer's after the CoE header; a message cut short or of
    // another kind is none.
    void emergency_data()
    {
        QTest::addColumn<int>("length");  // the mailbox header's length field
        QTest::addColumn<int>("type");    // mailbox type
        QTest::addColumn<int>("service"); // CoE service
        QTest::addColumn<bool>("decoded");
        QTest::newRow("whole") << 10 << int(mbx::TypeCoE) << int(coe::ServiceEmergency) << true;
        QTest::newRow("longer than needed") << 12 << int(mbx::TypeCoE) << int(coe::ServiceEmergency) << true;
        QTest::newRow("cut short") << 9 << int(mbx::TypeCoE) << int(coe::ServiceEmergency) << false;
        QTest::newRow("an SDO response") << 10 << int(mbx::TypeCoE) << int(coe::ServiceSdoResponse) << false;
        QTest::newRow("another protocol") << 10 << int(mbx::TypeFoE) << int(coe::ServiceEmergency) << false;
    }

    void emergency()
    {
        QFETCH(int, length);
        QFETCH(int, type);
        QFETCH(int, service);
        QFETCH(bool, decoded);
        std::vector<uint8_t> m(mbx::HeaderSize + 12, 0);
        MailboxHeader h;
        h.length = uint16_t(length);
        h.type = uint8_t(type);
        h.counter = 3;
        encodeMailboxHeader(m.data(), h);
        putU16(m.data() + coe::Header, uint16_t(service << coe::ServiceShift));
        const uint8_t body[coe::EmergencySize] = {0x30, 0x81, 0x10, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5};
        std::copy(body, body + sizeof body, m.begin() + long(coe::Emergency));
        Emergency e;
        QCOMPARE(decodeEmergency(m.data(), m.size(), e), decoded);
        if (!decoded)
            return;
        QCOMPARE(e.errorCode, uint16_t(0x8130));
        QCOMPARE(e.errorRegister, uint8_t(0x10));
        QCOMPARE(std::vector<uint8_t>(e.data, e.data + coe::EmergencyDataSize),
                 std::vector<uint8_t>({0xA1, 0xB2, 0xC3, 0xD4, 0xE5}));
    }

    // What abort codes and mailbox error details mean; unknown ones say so.
    void codeTexts_data()
    {
        QTest::addColumn<bool>("abort");
        QTest::addColumn<quint32>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("no object") << true << quint32(coe::AbortNoObject)
                                   << "the object does not exist in the object dictionary";
        QTest::newRow("no subindex") << true << quint32(coe::AbortNoSubindex) << "subindex does not exist";
        QTest::newRow("first") << true << quint32(coe::AbortToggle) << "toggle bit not changed";
        QTest::newRow("last") << true << quint32(0x08000023) << "no object dictionary present";
        QTest::newRow("unknown abort") << true << quint32(0x06020001) << "unknown abort code";
        QTest::newRow("protocol") << false << quint32(mbx::ErrUnsupportedProtocol) << "mailbox protocol not supported";
        QTest::newRow("size") << false << quint32(mbx::ErrInvalidSize) << "length of the data is inconsistent";
        QTest::newRow("unknown detail") << false << quint32(0) << "unknown mailbox error";
    }

    void codeTexts()
    {
        QFETCH(bool, abort);
        QFETCH(quint32, code);
        QFETCH(QString, text);
        QCOMPARE(QString(abort ? coe::abortCodeText(code) : mbx::errorText(uint16_t(code))), text);
    }
};

QTEST_APPLESS_MAIN(TestMailbox)
#include "tst_wire_mailbox.moc"
