#include <QtTest>

#include "ecwire/frame.h"
#include "ecwire/le.h"

using namespace ecwire;

namespace {
std::vector<uint8_t> twoDatagramFrame()
{
    FrameBuilder b;
    const uint8_t data[2] = {0x11, 0x22};
    b.add(Command::APWR, 7, makeAddress(0xFFFF, 0x0010), data, 2);
    b.add(Command::BRD, 8, makeAddress(0, 0x0130), nullptr, 2);
    return b.finish();
}
} // namespace

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void builderRoundTrip()
    {
        const std::vector<uint8_t> f = twoDatagramFrame();
        QCOMPARE(f.size(), eth::MinFrameSize); // padded
        QCOMPARE(getU16Be(f.data() + 12), uint16_t(0x88A4));
        QCOMPARE(f[0], uint8_t(0xFF));
        QCOMPARE(f[6] & eth::SourceReturnedBit, 0); // outgoing frames must not look returned
        // 2 datagrams: (10+2+2) + (10+2+2) = 28 bytes, type 1
        QCOMPARE(getU16(f.data() + 14), uint16_t(0x1000 | 28));
        ParsedFrame p;
        QCOMPARE(parseFrame(f.data(), f.size(), p), ParseError::None);
        QCOMPARE(p.ecatLength, size_t(28));
        QCOMPARE(p.datagrams.size(), size_t(2));
        const DatagramView &a = p.datagrams[0];
        QCOMPARE(a.command, uint8_t(Command::APWR));
        QCOMPARE(a.index, uint8_t(7));
        QCOMPARE(a.adp, uint16_t(0xFFFF));
        QCOMPARE(a.ado, uint16_t(0x0010));
        QCOMPARE(a.length, uint16_t(2));
        QVERIFY(a.more);
        QCOMPARE(a.dataOffset, size_t(26));
        QCOMPARE(f[a.dataOffset], uint8_t(0x11));
        QCOMPARE(a.wkcOffset, size_t(28));
        const DatagramView &b = p.datagrams[1];
        QCOMPARE(b.command, uint8_t(Command::BRD));
        QVERIFY(!b.more);
        QCOMPARE(b.offset, size_t(30));
        QCOMPARE(b.ado, uint16_t(0x0130));
        QCOMPARE(b.wkc, uint16_t(0));
        QCOMPARE(QString(commandName(b.command)), QString("BRD"));
        QCOMPARE(QString(commandName(99)), QString("unknown"));
    }

    void builderLimits()
    {
        FrameBuilder b;
        QCOMPARE(b.roomForData(), dgram::MaxData);
        QVERIFY(!b.add(Command::LRD, 0, 0, nullptr, uint16_t(dgram::MaxData + 1)));
        QCOMPARE(b.datagramCount(), size_t(0));
        QVERIFY(b.add(Command::LRD, 0, 0, nullptr, uint16_t(dgram::MaxData)));
        QCOMPARE(b.roomForData(), size_t(0));
        QVERIFY(!b.add(Command::NOP, 0, 0, nullptr, 0));
        const auto &f = b.finish();
        QCOMPARE(f.size(), eth::MaxFrameSize);
        ParsedFrame p;
        QCOMPARE(parseFrame(f.data(), f.size(), p), ParseError::None);
        QCOMPARE(p.datagrams[0].length, uint16_t(dgram::MaxData));
        b.clear();
        QCOMPARE(b.datagramCount(), size_t(0));
        QVERIFY(b.add(Command::BRD, 1, 0, nullptr, 1));
        QCOMPARE(b.finish().size(), eth::MinFrameSize);
        QCOMPARE(getU16(b.bytes().data() + 14), uint16_t(0x1000 | 13));
    }

    void addAfterFinishDropsPadding()
    {
        FrameBuilder b;
        b.add(Command::BRD, 1, 0, nullptr, 1);
        b.finish();
        b.add(Command::BRD, 2, 0, nullptr, 1);
        const auto &f = b.finish();
        ParsedFrame p;
        QCOMPARE(parseFrame(f.data(), f.size(), p), ParseError::None);
        QCOMPARE(p.datagrams.size(), size_t(2));
        QCOMPARE(p.datagrams[1].offset, size_t(16 + 13));
    }

    void malformed_data()
    {
        QTest::addColumn<int>("cut");     // bytes kept (-1 = all)
        QTest::addColumn<int>("patchAt"); // byte to overwrite (-1 none)
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("expected");
        using E = ParseError;
        QTest::newRow("empty") << 0 << -1 << 0 << int(E::FrameTooShort);
        QTest::newRow("15 bytes") << 15 << -1 << 0 << int(E::FrameTooShort);
        QTest::newRow("ethertype") << -1 << 13 << 0xA5 << int(E::NotEtherCat);
        QTest::newRow("type 0") << -1 << 15 << 0x00 << int(E::WrongType);
        QTest::newRow("type 2") << -1 << 15 << 0x20 << int(E::WrongType);
        QTest::newRow("length 0") << -1 << 14 << 0x00 << int(E::NoDatagrams);
        QTest::newRow("length beyond frame") << -1 << 15 << 0x17 << int(E::LengthBeyondFrame);
        QTest::newRow("frame cut below declared length") << 40 << -1 << 0 << int(E::LengthBeyondFrame);
        QTest::newRow("length ends inside header") << -1 << 14 << 20 << int(E::HeaderTruncated);
        QTest::newRow("length ends inside data") << -1 << 14 << 12 << int(E::DataTruncated);
        QTest::newRow("first data too long") << -1 << 22 << 40 << int(E::DataTruncated);
        QTest::newRow("first data length high bits") << -1 << 23 << 0x87 << int(E::DataTruncated);
        QTest::newRow("more on last") << -1 << 37 << 0x80 << int(E::MoreFlagOverrun);
        QTest::newRow("no more on first") << -1 << 23 << 0x00 << int(E::LengthMismatch);
        QTest::newRow("second data shorter") << -1 << 36 << 1 << int(E::LengthMismatch);
    }
    void malformed()
    {
        QFETCH(int, cut);
        QFETCH(int, patchAt);
        QFETCH(int, value);
        QFETCH(int, expected);
        std::vector<uint8_t> f = twoDatagramFrame();
        if (patchAt >= 0)
            f[size_t(patchAt)] = uint8_t(value);
        const size_t len = cut < 0 ? f.size() : size_t(cut);
        // Copy into an exact-size buffer so the sanitizer catches any read past it.
        std::unique_ptr<uint8_t[]> exact(new uint8_t[len ? len : 1]);
        std::copy(f.begin(), f.begin() + long(len), exact.get());
        ParsedFrame p;
        const ParseError e = parseFrame(exact.get(), len, p);
        QCOMPARE(int(e), expected);
        QVERIFY(QString(parseErrorText(e)).size() > 5);
    }

    void tooLong()
    {
        std::vector<uint8_t> f(eth::MaxFrameSize + 1, 0);
        ParsedFrame p;
        QCOMPARE(parseFrame(f.data(), f.size(), p), ParseError::FrameTooLong);
        QCOMPARE(parseFrame(nullptr, 100, p), ParseError::FrameTooShort);
    }

    void reservedAndCirculatingBits()
    {
        std::vector<uint8_t> f = twoDatagramFrame();
        f[23] |= 0x40 | 0x08; // circulating + a reserved length bit on datagram 1
        ParsedFrame p;
        QCOMPARE(parseFrame(f.data(), f.size(), p), ParseError::None);
        QVERIFY(p.datagrams[0].circulating);
        QCOMPARE(p.datagrams[0].length, uint16_t(2));
    }

    void everyTruncationIsRejected()
    {
        const std::vector<uint8_t> f = twoDatagramFrame();
        // Real data ends at 44; any shorter buffer must be rejected, padding may go.
        for (size_t len = 0; len < 44; ++len) {
            std::unique_ptr<uint8_t[]> exact(new uint8_t[len + 1]);
            std::copy(f.begin(), f.begin() + long(len), exact.get());
            ParsedFrame p;
            QVERIFY2(parseFrame(exact.get(), len, p) != ParseError::None, qPrintable(QString::number(len)));
        }
        ParsedFrame p;
        QCOMPARE(parseFrame(f.data(), 44, p), ParseError::None);
    }
};

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_wire_frame.moc"
