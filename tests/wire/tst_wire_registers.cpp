#include <QtTest>

#include "ecwire/le.h"
#include "ecwire/registers.h"

using namespace ecwire;

class TestRegisters : public QObject {
    Q_OBJECT
private slots:
    void littleEndianHelpers()
    {
        uint8_t b[8] = {};
        putU16(b, 0x1234);
        QCOMPARE(b[0], uint8_t(0x34));
        QCOMPARE(b[1], uint8_t(0x12));
        QCOMPARE(getU16(b), uint16_t(0x1234));
        putU32(b, 0xA1B2C3D4u);
        QCOMPARE(b[0], uint8_t(0xD4));
        QCOMPARE(b[3], uint8_t(0xA1));
        QCOMPARE(getU32(b), 0xA1B2C3D4u);
        putU64(b, 0x0102030405060708ull);
        QCOMPARE(b[0], uint8_t(0x08));
        QCOMPARE(b[7], uint8_t(0x01));
        QCOMPARE(getU64(b), 0x0102030405060708ull);
        putF32(b, 101325.0f);
        // 101325.0f is 0x47C5E680
        QCOMPARE(getU32(b), 0x47C5E680u);
        QCOMPARE(getF32(b), 101325.0f);
        putU16Be(b, EtherTypeEcatForTest);
        QCOMPARE(b[0], uint8_t(0x88));
        QCOMPARE(getU16Be(b), uint16_t(0x88A4));
    }

    void fmmuRoundTrip()
    {
        FmmuEntry e;
        e.logicalStart = 0x00010203;
        e.length = 5;
        e.logicalStartBit = 0;
        e.logicalStopBit = 7;
        e.physicalStart = 0x1100;
        e.type = fmmu::TypeRead;
        e.activate = 1;
        uint8_t raw[fmmu::EntrySize];
        std::memset(raw, 0xEE, sizeof raw);
        encodeFmmu(raw, e);
        QCOMPARE(getU32(raw), 0x00010203u);
        QCOMPARE(getU16(raw + 4), uint16_t(5));
        QCOMPARE(raw[7], uint8_t(7));
        QCOMPARE(getU16(raw + 8), uint16_t(0x1100));
        QCOMPARE(raw[11], uint8_t(1));
        QCOMPARE(raw[12], uint8_t(1));
        QCOMPARE(raw[13], uint8_t(0)); // reserved cleared
        const FmmuEntry d = decodeFmmu(raw);
        QCOMPARE(d.logicalStart, e.logicalStart);
        QCOMPARE(d.length, e.length);
        QCOMPARE(d.physicalStart, e.physicalStart);
        QCOMPARE(d.type, e.type);
        QCOMPARE(d.activate, e.activate);
    }

    void smRoundTrip()
    {
        SmEntry e{0x1000, 128, sm::ControlMailboxOut, 0, sm::ActivateEnable, 0};
        uint8_t raw[sm::EntrySize];
        encodeSm(raw, e);
        QCOMPARE(getU16(raw), uint16_t(0x1000));
        QCOMPARE(getU16(raw + 2), uint16_t(128));
        QCOMPARE(raw[4], uint8_t(0x26));
        QCOMPARE(raw[6], uint8_t(1));
        const SmEntry d = decodeSm(raw);
        QCOMPARE(d.physicalStart, e.physicalStart);
        QCOMPARE(d.length, e.length);
        QCOMPARE(d.control, e.control);
        QCOMPARE(d.activate, e.activate);
        QCOMPARE(reg::sm(2), uint16_t(0x0810));
        QCOMPARE(reg::fmmu(1), uint16_t(0x0610));
    }

    void stateNames()
    {
        QCOMPARE(QString(al::stateName(al::Init)), QString("INIT"));
        QCOMPARE(QString(al::stateName(al::SafeOp | al::ErrorFlag)), QString("SAFE-OP"));
        QCOMPARE(QString(al::stateName(al::Op)), QString("OP"));
        QCOMPARE(QString(al::stateName(0x07)), QString("unknown"));
    }

private:
    static constexpr uint16_t EtherTypeEcatForTest = 0x88A4;
};

QTEST_APPLESS_MAIN(TestRegisters)
#include "tst_wire_registers.moc"
