// The pressure sensor's input image: flag byte, then a little-endian float
// of 0.01 mbar starting at byte 1.
#include <ecwire/sensor_image.h>

#include <QtTest>

#include <cmath>
#include <cstdint>

class TestSensorImage : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
    void unalignedAndTrailingBytes();
    void specialValuesPassThrough();
    void encodeIsWhatDecodeReads();
};

void TestSensorImage::decode_data()
{
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<float>("pressure");
    QTest::addColumn<int>("valid");
    QTest::addColumn<int>("over");
    QTest::addColumn<int>("under");
    QTest::newRow("valid+under, 100.0") << QByteArray::fromHex("050000C842") << 100.0f << 1 << 0 << 1;
    QTest::newRow("high bits only") << QByteArray::fromHex("F80000C842") << 100.0f << 0 << 0 << 0;
    QTest::newRow("all flags") << QByteArray::fromHex("FF00000000") << 0.0f << 1 << 1 << 1;
    QTest::newRow("over only, 1013.25 mbar") << QByteArray::fromHex("0280E6C547") << 101325.0f << 0 << 1 << 0;
    QTest::newRow("negative") << QByteArray::fromHex("01000048C2") << -50.0f << 1 << 0 << 0;
}

void TestSensorImage::decode()
{
    QFETCH(QByteArray, image);
    QFETCH(float, pressure);
    QFETCH(int, valid);
    QFETCH(int, over);
    QFETCH(int, under);
    const auto r = ecwire::sensor::decode(reinterpret_cast<const std::uint8_t *>(image.constData()));
    QCOMPARE(r.pressure, pressure);
    QCOMPARE(r.valid, valid);
    QCOMPARE(r.over, over);
    QCOMPARE(r.under, under);
}

void TestSensorImage::unalignedAndTrailingBytes()
{
    // The image starts at an odd address inside a larger buffer, with more
    // bytes after the five that count.
    const QByteArray buf = QByteArray::fromHex("AA01000048C2EEEEEE");
    const auto r = ecwire::sensor::decode(reinterpret_cast<const std::uint8_t *>(buf.constData()) + 1);
    QCOMPARE(r.pressure, -50.0f);
    QCOMPARE(r.valid, 1);
}

void TestSensorImage::specialValuesPassThrough()
{
    const QByteArray nan = QByteArray::fromHex("010000C07F");
    const QByteArray inf = QByteArray::fromHex("010000807F");
    QVERIFY(std::isnan(ecwire::sensor::decode(reinterpret_cast<const std::uint8_t *>(nan.constData())).pressure));
    QVERIFY(std::isinf(ecwire::sensor::decode(reinterpret_cast<const std::uint8_t *>(inf.constData())).pressure));
}

void TestSensorImage::encodeIsWhatDecodeReads()
{
    // 1013.25 mbar, valid and under: 05 then 101325.0f least significant byte first.
    std::uint8_t image[ecwire::sensor::ImageSize + 1] = {};
    image[ecwire::sensor::ImageSize] = 0xEE; // the byte after the image stays untouched
    ecwire::sensor::encode(image, 101325.0f, ecwire::sensor::FlagValid | ecwire::sensor::FlagUnder | 0xF0);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(image), sizeof image), QByteArray::fromHex("0580E6C547EE"));
    const auto r = ecwire::sensor::decode(image);
    QCOMPARE(r.pressure, 101325.0f);
    QCOMPARE(r.valid, 1);
    QCOMPARE(r.over, 0);
    QCOMPARE(r.under, 1);
}

QTEST_APPLESS_MAIN(TestSensorImage)
#include "tst_wire_sensor_image.moc"
