#include "test_master.h"

#include "slave.h"

using namespace testing;

class TestSiiEeprom : public QObject {
    Q_OBJECT
private slots:
    void readSizes()
    {
        TestMaster m("sensor,dig-in");
        m.assignStations();
        QVERIFY(m.fprd(0, reg::SiiControl, 2).u16() & reg::SiiRead8Bytes);
        QVERIFY(!(m.fprd(1, reg::SiiControl, 2).u16() & reg::SiiRead8Bytes));
        for (size_t pos = 0; pos < 2; ++pos) {
            const std::vector<uint16_t> &image = m.bus->slave(pos).siiWords();
            // One read command: vendor id words 8..
            std::vector<uint8_t> cmd = TestMaster::le16(reg::SiiCmdRead);
            const auto a = TestMaster::le32(sii::VendorId);
            cmd.insert(cmd.end(), a.begin(), a.end());
            QCOMPARE(m.fpwr(pos, reg::SiiControl, cmd).wkc, uint16_t(1));
            // Busy is seen once, then clears.
            QVERIFY(m.fprd(pos, reg::SiiControl, 2).u16() & reg::SiiBusy);
            QVERIFY(!(m.fprd(pos, reg::SiiControl, 2).u16() & reg::SiiBusy));
            const Reply d = m.fprd(pos, reg::SiiData, 8);
            const size_t words = pos == 0 ? 4 : 2;
            for (size_t i = 0; i < words; ++i)
                QCOMPARE(getU16(d.data.data() + 2 * i), image[sii::VendorId + i]);
            if (words == 2) // the 4-byte slave leaves the upper data bytes alone
                QCOMPARE(getU32(d.data.data() + 4), 0u);
        }
    }

    void wholeImageParsesForEveryKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("coe");
        QTest::addColumn<int>("inBits");
        QTest::addColumn<int>("outBits");
        QTest::newRow("sensor") << "sensor" << true << 40 << 0;
        QTest::newRow("sensor-sii") << "sensor-sii" << false << 40 << 0;
        QTest::newRow("short-sensor") << "short-sensor" << true << 32 << 0;
        QTest::newRow("dig-out") << "dig-out" << false << 0 << 8;
        QTest::newRow("dig-in") << "dig-in" << false << 16 << 0;
        QTest::newRow("big-in") << "big-in" << true << 40000 << 0;
    }
    void wholeImageParsesForEveryKind()
    {
        QFETCH(QString, kind);
        QFETCH(bool, coe);
        QFETCH(int, inBits);
        QFETCH(int, outBits);
        TestMaster m(kind.toStdString());
        m.assignStations();
        // Read as a master does: header, then follow the categories to the end marker.
        std::vector<uint16_t> words = m.readSii(0, 0, sii::FirstCategory);
        QCOMPARE(words.size(), size_t(sii::FirstCategory));
        size_t need = 0;
        while (scanSiiImage(words, &need) == SiiScan::NeedMore) {
            const auto more = m.readSii(0, uint32_t(words.size()), need - words.size());
            QVERIFY(!more.empty());
            words.insert(words.end(), more.begin(), more.end());
        }
        QCOMPARE(scanSiiImage(words, &need), SiiScan::Complete);
        SiiDevice d;
        std::string err;
        QVERIFY2(parseSiiImage(words, d, &err), err.c_str());
        QVERIFY(d.checksumOk);
        QCOMPARE(words[sii::Checksum] & 0xFF, int(siiHeaderCrc(words)));
        QCOMPARE(d.hasCoe(), coe);
        QCOMPARE(int(d.inputBits()), inBits);
        QCOMPARE(int(d.outputBits()), outBits);
        QCOMPARE(int(d.pdoBits(3)), inBits);
        QCOMPARE(int(d.pdoBits(2)), outBits);
        QVERIFY(!d.name().empty());
        QCOMPARE(d.syncManagers.size(), size_t(4));
        QCOMPARE(d.syncManagers[2].type, sii::SmOutputs);
        QCOMPARE(d.syncManagers[3].type, sii::SmInputs);
        QCOMPARE(int(d.syncManagers[3].length), inBits / 8);
        if (coe) {
            QCOMPARE(d.mbxRxOffset, uint16_t(0x1000));
            QCOMPARE(d.mbxTxSize, uint16_t(128));
            QVERIFY(d.general.coeDetails & sii::CoeCompleteAccess);
            QCOMPARE(d.syncManagers[0].type, sii::SmMailboxOut);
            QCOMPARE(d.syncManagers[0].control, uint8_t(0x26));
        }
        QCOMPARE(d.fmmus.size() >= 3, true);
        QCOMPARE(d.vendorId, m.bus->slave(0).device().sii.vendorId);
        // The alias register was loaded from word 4.
        QCOMPARE(m.fprd(0, reg::StationAlias, 2).u16(), words[sii::StationAlias]);
    }

    void beyondTheImageReadsOnes()
    {
        TestMaster m("sensor");
        m.assignStations();
        const auto w = m.readSii(0, 0x7FF0, 4);
        QCOMPARE(w, std::vector<uint16_t>(4, 0xFFFF));
        const auto far = m.readSii(0, 0xFFFFFFFEu, 4);
        QCOMPARE(far, std::vector<uint16_t>(4, 0xFFFF));
    }

    void unsupportedCommandsSetTheErrorBit()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdWrite | reg::SiiWriteEnable));
        uint16_t st = m.fprd(0, reg::SiiControl, 2).u16();
        QVERIFY(st & reg::SiiCommandError);
        QVERIFY(!(st & reg::SiiBusy));
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdRead | reg::SiiCmdReload));
        QVERIFY(m.fprd(0, reg::SiiControl, 2).u16() & reg::SiiCommandError);
        // A good read clears the error.
        QCOMPARE(m.readSii(0, 0, 2).size(), size_t(2));
        st = m.fprd(0, reg::SiiControl, 2).u16();
        QVERIFY(!(st & reg::SiiCommandError));
        // Reload takes the alias from the image again.
        m.fpwr(0, reg::StationAlias, TestMaster::le16(0x7777));
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdReload));
        QCOMPARE(m.fprd(0, reg::StationAlias, 2).u16(), m.bus->slave(0).siiWords()[sii::StationAlias]);
    }

    void statusBitsAreNotWritable()
    {
        TestMaster m("dig-in");
        m.assignStations();
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiBusy | reg::SiiRead8Bytes | reg::SiiChecksumError));
        const uint16_t st = m.fprd(0, reg::SiiControl, 2).u16();
        QCOMPARE(st & (reg::SiiBusy | reg::SiiRead8Bytes | reg::SiiChecksumError), 0);
    }
};

QTEST_APPLESS_MAIN(TestSiiEeprom)
#include "tst_sii.moc"
