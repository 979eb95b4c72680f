// AL status codes in words (register 0x0134; ETG.1000.6 table of AL status
// codes): what an operator reads when a slave refuses a state.
#include <ecwire/al_status.h>

#include <QtTest>

class TestAlStatus : public QObject
{
    Q_OBJECT

private slots:
    void meaning_data();
    void meaning();
};

void TestAlStatus::meaning_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0x0000 << "no error";
    QTest::newRow("first listed") << 0x0001 << "unspecified error";
    QTest::newRow("invalid state change") << 0x0011 << "invalid requested state change";
    QTest::newRow("mailbox in PRE-OP") << 0x0016 << "invalid mailbox configuration (PRE-OP)";
    QTest::newRow("watchdog") << 0x001B << "sync manager watchdog";
    QTest::newRow("output config") << 0x001D << "invalid output configuration";
    QTest::newRow("input config") << 0x001E << "invalid input configuration";
    QTest::newRow("last listed") << 0x00F0 << "application controller available";
    QTest::newRow("gap between listed codes") << 0x002E << "unknown code";
    QTest::newRow("below vendor range") << 0x7FFF << "unknown code";
    QTest::newRow("vendor range start") << 0x8000 << "vendor-specific code";
    QTest::newRow("vendor range end") << 0xFFFF << "vendor-specific code";
}

void TestAlStatus::meaning()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(QString::fromUtf8(ecwire::al::statusCodeText(uint16_t(code))), text);
}

QTEST_APPLESS_MAIN(TestAlStatus)
#include "tst_wire_al_status.moc"
