// The SII EEPROM interface (0x0500-0x050F) as the ESC drives it.
#include "test_master.h"

#include "slave.h"

using namespace testing;

namespace {

std::vector<uint8_t> readCommand(uint32_t word, uint16_t command = reg::SiiCmdRead)
{
    std::vector<uint8_t> cmd = TestMaster::le16(command);
    const auto a = TestMaster::le32(word);
    cmd.insert(cmd.end(), a.begin(), a.end());
    return cmd;
}

uint16_t siiStatus(TestMaster &m, size_t pos) { return m.fprd(pos, reg::SiiControl, 2).u16(); }

} // namespace

class TestSiiEeprom : public QObject {
    Q_OBJECT
private slots:
    // ESC register 0x0502 bit 6: 4 or 8 bytes per read; a 4-byte ESC leaves the upper data bytes alone.
    void readSizes_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<int>("words");
        QTest::newRow("sensor: 8 bytes") << "sensor" << 4;
        QTest::newRow("dig-in: 4 bytes") << "dig-in" << 2;
        QTest::newRow("sensor+sii4") << "sensor+sii4" << 2;
        QTest::newRow("dig-in+sii8") << "dig-in+sii8" << 4;
    }
    void readSizes()
    {
        QFETCH(QString, bus);
        QFETCH(int, words);
        TestMaster m(bus.toStdString());
        m.assignStations();
        QCOMPARE(bool(siiStatus(m, 0) & reg::SiiRead8Bytes), words == 4);
        const std::vector<uint16_t> &image = m.bus->slave(0).siiWords();
        QCOMPARE(m.fpwr(0, reg::SiiControl, readCommand(sii::VendorId)).wkc, uint16_t(1));
        m.clockNs += m.timing(0).siiReadNs;
        QVERIFY(!(siiStatus(m, 0) & reg::SiiBusy));
        const Reply d = m.fprd(0, reg::SiiData, 8);
        for (int i = 0; i < words; ++i)
            QCOMPARE(getU16(d.data.data() + 2 * i), image[sii::VendorId + size_t(i)]);
        if (words == 2)
            QCOMPARE(getU32(d.data.data() + 4), 0u);
    }

    // The ESC starts a command after the end of the frame that wrote it: status and data read
    // in that frame show the previous command.
    void commandStartsAfterTheFrameThatWroteIt()
    {
        TestMaster m("sensor");
        m.assignStations();
        const std::vector<uint16_t> &image = m.bus->slave(0).siiWords();
        QCOMPARE(m.readSii(0, sii::ProductCode, 2), std::vector<uint16_t>({image[0x0A], image[0x0B]}));
        FrameBuilder b;
        const std::vector<uint8_t> cmd = readCommand(sii::VendorId);
        b.add(Command::FPWR, 1, makeAddress(TestMaster::station(0), reg::SiiControl), cmd.data(), 6);
        b.add(Command::FPRD, 2, makeAddress(TestMaster::station(0), reg::SiiControl), nullptr, 2);
        b.add(Command::FPRD, 3, makeAddress(TestMaster::station(0), reg::SiiData), nullptr, 4);
        QVERIFY(m.send(b).ok);
        const DatagramView status = m.datagram(1), data = m.datagram(2);
        QCOMPARE(status.wkc, uint16_t(1));
        QVERIFY(!(getU16(m.lastFrame.data() + status.dataOffset) & reg::SiiBusy));
        QCOMPARE(getU16(m.lastFrame.data() + data.dataOffset), image[sii::ProductCode]); // the previous read
        // The next frame sees the command running, and its data once it is done.
        QVERIFY(siiStatus(m, 0) & reg::SiiBusy);
        m.clockNs += m.timing(0).siiReadNs;
        QVERIFY(!(siiStatus(m, 0) & reg::SiiBusy));
        QCOMPARE(m.fprd(0, reg::SiiData, 2).u16(), image[sii::VendorId]);
    }

    // Busy (bit 15) stays for the EEPROM's time; sii-busy sets it per device.
    void busyLastsTheEepromTime_data()
    {
        QTest::addColumn<QString>("bus");
        QTest::addColumn<qulonglong>("busyNs");
        QTest::newRow("default") << "dig-in" << qulonglong(100'000);
        QTest::newRow("sii-busy=300") << "dig-in+sii-busy=300" << qulonglong(300'000);
    }
    void busyLastsTheEepromTime()
    {
        QFETCH(QString, bus);
        QFETCH(qulonglong, busyNs);
        TestMaster m(bus.toStdString());
        m.assignStations();
        m.fpwr(0, reg::SiiControl, readCommand(0));
        const uint64_t start = m.clockNs;
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiCmdMask), reg::SiiBusy | reg::SiiCmdRead);
        m.clockNs = start + busyNs - 1;
        QVERIFY(siiStatus(m, 0) & reg::SiiBusy);
        m.clockNs = start + busyNs;
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiCmdMask), 0);
    }

    // While busy, a command is not started and the address and data registers keep their value.
    void commandWrittenWhileBusyIsNotStarted()
    {
        TestMaster m("sensor");
        m.assignStations();
        const std::vector<uint16_t> &image = m.bus->slave(0).siiWords();
        m.fpwr(0, reg::SiiControl, readCommand(sii::VendorId));
        QCOMPARE(m.fpwr(0, reg::SiiControl, readCommand(sii::SerialNumber)).wkc, uint16_t(1));
        QCOMPARE(m.fprd(0, reg::SiiAddress, 4).u32(), uint32_t(sii::VendorId));
        m.clockNs += m.timing(0).siiReadNs;
        QVERIFY(!(siiStatus(m, 0) & reg::SiiBusy));
        QCOMPARE(m.fprd(0, reg::SiiData, 2).u16(), image[sii::VendorId]);
        QCOMPARE(m.bus->slave(0).stats().siiReads, uint64_t(1));
    }

    // A read the EEPROM does not acknowledge sets the command error (bit 13) and leaves the data;
    // the error bits stay until command 000 clears them.
    void missingAcknowledgeUntilCleared()
    {
        TestMaster m("sensor");
        m.assignStations();
        const std::vector<uint16_t> &image = m.bus->slave(0).siiWords();
        QCOMPARE(m.readSii(0, sii::ProductCode, 1), std::vector<uint16_t>({image[sii::ProductCode]}));
        QCOMPARE(m.bus->command("sii-nack 1"), std::string("ok"));
        m.fpwr(0, reg::SiiControl, readCommand(sii::VendorId));
        m.clockNs += m.timing(0).siiReadNs;
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiCommandError), reg::SiiCommandError);
        QCOMPARE(m.fprd(0, reg::SiiData, 2).u16(), image[sii::ProductCode]);
        // A good read delivers its data; the error bit is still there.
        m.fpwr(0, reg::SiiControl, readCommand(sii::VendorId));
        m.clockNs += m.timing(0).siiReadNs;
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiCommandError), reg::SiiCommandError);
        QCOMPARE(m.fprd(0, reg::SiiData, 2).u16(), image[sii::VendorId]);
        m.fpwr(0, reg::SiiControl, TestMaster::le16(0));
        QCOMPARE(siiStatus(m, 0) & reg::SiiCommandError, 0);
        // A master that clears and reads again gets every word.
        QCOMPARE(m.bus->command("sii-nack 3"), std::string("ok"));
        QCOMPARE(m.readSii(0, 0, 16), std::vector<uint16_t>(image.begin(), image.begin() + 16));
        QCOMPARE(m.bus->slave(0).stats().siiNacks, uint64_t(4));
        QVERIFY(m.bus->command("sii-nack").rfind("error: usage", 0) == 0);
    }

    // An ESC loads its EEPROM after power-up: busy with "not loaded" (bit 12), no alias and DL
    // status bit 0 clear until done; commands are not started and the firmware does not run.
    void loadingAfterPowerUp()
    {
        TestMaster m("sensor+eeprom-loading=50");
        m.assignStations();
        const uint64_t powered = m.clockNs;
        const std::vector<uint16_t> &image = m.bus->slave(0).siiWords();
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiDeviceInfoError), reg::SiiBusy | reg::SiiDeviceInfoError);
        QCOMPARE(m.fprd(0, reg::DlStatus, 2).u16() & reg::DlStatusPdiOperational, 0);
        QCOMPARE(m.fprd(0, reg::StationAlias, 2).u16(), uint16_t(0));
        m.fpwr(0, reg::SiiControl, readCommand(sii::VendorId));
        m.setupMailbox(0);
        m.fpwr(0, reg::AlControl, TestMaster::le16(al::PreOp));
        m.clockNs = powered + 49'000'000;
        QVERIFY(siiStatus(m, 0) & reg::SiiBusy);
        QCOMPARE(m.alStatus(0), al::Init);
        m.clockNs = powered + 50'000'000;
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiDeviceInfoError), 0);
        QVERIFY(m.fprd(0, reg::DlStatus, 2).u16() & reg::DlStatusPdiOperational);
        QCOMPARE(m.fprd(0, reg::StationAlias, 2).u16(), image[sii::StationAlias]);
        QCOMPARE(m.fprd(0, reg::SiiData, 2).u16(), uint16_t(0)); // the read written while loading never ran
        m.passAlTime(0);
        QCOMPARE(m.alStatus(0), al::PreOp); // the firmware took the request once running
        QCOMPARE(m.readSii(0, sii::VendorId, 2), std::vector<uint16_t>({image[8], image[9]}));
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
        std::vector<uint16_t> words;
        QVERIFY2(m.probe.readSiiImage(TestMaster::station(0), words), m.probe.error().c_str());
        const std::vector<uint16_t> &image = m.bus->slave(0).siiWords();
        for (size_t i = 0; i < words.size(); ++i) // words past the image read 0xFFFF
            QCOMPARE(words[i], i < image.size() ? image[i] : uint16_t(0xFFFF));
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

    // Writes: without write enable bit 14 at once; with it the (write-protected) EEPROM does not
    // acknowledge. More than one command bit is an invalid command. Reload takes the alias again.
    void otherCommands()
    {
        TestMaster m("sensor");
        m.assignStations();
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdWrite));
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiWriteEnableError), reg::SiiWriteEnableError);
        m.fpwr(0, reg::SiiControl, TestMaster::le16(0));
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdWrite | reg::SiiWriteEnable));
        QVERIFY(siiStatus(m, 0) & reg::SiiBusy);
        m.clockNs += m.timing(0).siiReadNs;
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiCommandError), reg::SiiCommandError);
        m.fpwr(0, reg::SiiControl, TestMaster::le16(0));
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdRead | reg::SiiCmdReload));
        QCOMPARE(siiStatus(m, 0) & (reg::SiiBusy | reg::SiiCommandError), reg::SiiCommandError);
        m.fpwr(0, reg::SiiControl, TestMaster::le16(0));
        QCOMPARE(siiStatus(m, 0) & (reg::SiiCommandError | reg::SiiWriteEnableError), 0);
        m.fpwr(0, reg::StationAlias, TestMaster::le16(0x7777));
        m.fpwr(0, reg::SiiControl, TestMaster::le16(reg::SiiCmdReload));
        QVERIFY(siiStatus(m, 0) & reg::SiiBusy);
        m.clockNs += 10 * m.timing(0).siiReadNs;
        QVERIFY(!(siiStatus(m, 0) & reg::SiiBusy));
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
