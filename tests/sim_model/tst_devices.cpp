// The device kinds and options: each stays one consistent device, its SII,
// object dictionary and process image agreeing on the sizes its description
// gives, and a protocol-following master brings it to OP with them.
#include "test_master.h"

#include "slave.h"

using namespace testing;

namespace {

// Bring-up of the whole bus with the probe on the test's clock.
ecprobe::BringUp bringUp(TestMaster &m)
{
    return ecprobe::bringUpBus(m.probe, al::Op);
}

const char *const kKinds[] = {"sensor",  "sensor-sii", "short-sensor", "dig-out", "dig-in",
                              "big-in",  "wide-in",    "bits-in",      "io-mixed", "drive"};
const char *const kOptions[] = {"keep-mac",   "no-pdo-assign", "no-ca",          "ca-refused",    "ca-unannounced",
                                "sdo-expedited", "sdo-normal", "sdo-segmented",  "no-1c00",       "no-sii-pdo",
                                "no-coe",     "alt-pdo",       "no-sm-category", "mbx512",        "mbx-asym",
                                "slow",       "al-delay=3",    "sdo-delay=2",    "sii4",          "sii8",
                                "sii-busy=300", "eeprom-loading=20", "no-dc",    "dc32",          "no-lrw",
                                "stale-reply",  "device-emulation"};

SiiDevice siiOf(const std::string &entry)
{
    SiiDevice d;
    std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create(entry);
    if (!bus || !parseSiiImage(bus->slave(0).siiWords(), d))
        qFatal("no SII for %s", entry.c_str());
    return d;
}

} // namespace

class TestDevices : public QObject {
    Q_OBJECT
private slots:
    // The sizes each kind's object dictionary gives; its SII and the bring-up agree.
    void kindSizes_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("inputs");
        QTest::addColumn<int>("outputs");
        QTest::addColumn<bool>("coe");
        QTest::newRow("sensor") << "sensor" << 5 << 0 << true;
        QTest::newRow("sensor-sii") << "sensor-sii" << 5 << 0 << false;
        QTest::newRow("short-sensor") << "short-sensor" << 4 << 0 << true;
        QTest::newRow("dig-out") << "dig-out" << 0 << 1 << false;
        QTest::newRow("dig-in") << "dig-in" << 2 << 0 << false;
        QTest::newRow("big-in") << "big-in" << 5000 << 0 << true;
        QTest::newRow("wide-in: 13 x 16 bits") << "wide-in" << 26 << 0 << true;
        QTest::newRow("bits-in: 34 bits") << "bits-in" << 5 << 0 << true;
        QTest::newRow("io-mixed") << "io-mixed" << 6 << 4 << true;
        QTest::newRow("drive") << "drive" << 11 << 7 << true;
    }
    void kindSizes()
    {
        QFETCH(QString, kind);
        QFETCH(int, inputs);
        QFETCH(int, outputs);
        QFETCH(bool, coe);
        TestMaster m(kind.toStdString());
        const ecsim::DeviceDescription &d = m.bus->slave(0).device();
        QCOMPARE(int(d.inputSize), inputs);
        QCOMPARE(int(d.outputSize), outputs);
        QCOMPARE(d.coe, coe);
        const SiiDevice sii = siiOf(kind.toStdString());
        QCOMPARE(int((sii.pdoBits(3) + 7) / 8), inputs);
        QCOMPARE(int((sii.pdoBits(2) + 7) / 8), outputs);
        const ecprobe::BringUp up = bringUp(m);
        QVERIFY2(up.ok, up.error.c_str());
        QCOMPARE(int(up.slaves[0].inputBytes), inputs);
        QCOMPARE(int(up.slaves[0].outputBytes), outputs);
        QCOMPARE(up.slaves[0].sizesFrom, std::string(coe ? "CoE" : "SII PDOs"));
        const Reply r = m.txLen(Command::LRW, 0, uint16_t(std::min<int>(inputs + outputs, dgram::MaxData)));
        QCOMPARE(r.wkc, up.expectedLrwWkc);
    }

    // Padding entries (index 0) and single bits map as they are; the drive's objects are CiA 402's.
    void mappingObjects()
    {
        TestMaster m("bits-in,drive");
        QVERIFY(bringUp(m).ok);
        std::vector<uint8_t> e;
        QVERIFY(m.upload(0, 0x1A00, 5, false, e));
        QCOMPARE(getU32(e.data()), 0x00000004u); // 4 bits of padding
        QVERIFY(m.upload(0, 0x1A02, 2, false, e));
        QCOMPARE(getU32(e.data()), 0x60200201u); // one bit
        QVERIFY(m.upload(1, 0x1600, 1, false, e));
        QCOMPARE(getU32(e.data()), 0x60400010u); // controlword
        QVERIFY(m.upload(1, 0x1A00, 1, false, e));
        QCOMPARE(getU32(e.data()), 0x60410010u); // statusword
        QVERIFY(m.upload(1, 0x1000, 0, false, e));
        QCOMPARE(getU32(e.data()), 0x00020192u);
        QCOMPARE(int(siiOf("drive").general.ds402Channels), 1);
    }

    // Every option on every kind that can have it gives a device a master brings to OP with
    // the sizes its description gives; one that cannot is refused with the reason.
    void everyOptionOnEveryKind()
    {
        int built = 0, refused = 0;
        for (const char *kind : kKinds) {
            for (const char *option : kOptions) {
                const std::string entry = std::string(kind) + "+" + option;
                std::string error;
                std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create(entry, &error);
                if (!bus) {
                    QVERIFY2(error.find(option) != std::string::npos || error.find("mailbox") != std::string::npos
                                 || error.find("CoE") != std::string::npos,
                             (entry + ": " + error).c_str());
                    ++refused;
                    continue;
                }
                ++built;
                TestMaster m(entry);
                const ecsim::DeviceDescription &d = m.bus->slave(0).device();
                const ecprobe::BringUp up = bringUp(m);
                QVERIFY2(up.ok, (entry + ": " + up.error).c_str());
                QVERIFY2(up.slaves[0].inputBytes == d.inputSize && up.slaves[0].outputBytes == d.outputSize,
                         (entry + " maps " + std::to_string(up.slaves[0].inputBytes) + "/"
                          + std::to_string(up.slaves[0].outputBytes) + " via " + up.slaves[0].sizesFrom)
                             .c_str());
                QCOMPARE(d.entry, entry);
            }
        }
        QVERIFY(built > 150);
        QVERIFY(refused > 20); // CoE options on devices without CoE, mailbox options without mailbox
    }

    void refusedWithTheReason_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("unknown option") << "sensor+warp" << "unknown option 'warp'";
        QTest::newRow("CoE option without CoE") << "dig-in+no-pdo-assign" << "needs CoE";
        QTest::newRow("CoE option after no-coe") << "sensor+no-coe+sdo-normal" << "needs CoE";
        QTest::newRow("no-coe without mailbox") << "sensor-sii+no-coe" << "needs a mailbox";
        QTest::newRow("two CA modes") << "sensor+no-ca+ca-refused" << "exclude each other";
        QTest::newRow("two reply styles") << "sensor+sdo-normal+sdo-segmented" << "exclude each other";
        QTest::newRow("two mailboxes") << "sensor+mbx512+mbx-asym" << "exclude each other";
        QTest::newRow("alternatives without SII PDOs") << "sensor+alt-pdo+no-sii-pdo" << "exclude each other";
        QTest::newRow("nothing describes the process data") << "dig-in+no-sii-pdo+no-sm-category"
                                                            << "no description";
        QTest::newRow("value missing") << "sensor+al-delay" << "whole number of milliseconds";
        QTest::newRow("value not a number") << "sensor+sii-busy=fast" << "microseconds";
        QTest::newRow("value too large") << "sensor+sdo-delay=999999" << "up to 60000";
        QTest::newRow("value where none belongs") << "sensor+keep-mac=1" << "takes no value";
        QTest::newRow("empty option") << "sensor++sii4" << "empty option";
    }
    void refusedWithTheReason()
    {
        QFETCH(QString, entry);
        QFETCH(QString, mentions);
        std::string error;
        QVERIFY(!ecsim::Bus::create("dig-in," + entry.toStdString(), &error));
        QVERIFY2(QString::fromStdString(error).contains(mentions), error.c_str());
    }

    // What the SII says under each option.
    void siiContent()
    {
        QCOMPARE(siiOf("sensor").general.coeDetails, uint8_t(0x25));
        QCOMPARE(siiOf("sensor+no-pdo-assign").general.coeDetails, uint8_t(0x3B));
        QCOMPARE(siiOf("io-mixed+no-pdo-assign+no-ca").general.coeDetails, uint8_t(0x1B));
        QCOMPARE(siiOf("sensor+ca-unannounced").general.coeDetails & sii::CoeCompleteAccess, 0);
        QCOMPARE(siiOf("sensor+ca-refused").general.coeDetails & sii::CoeCompleteAccess, int(sii::CoeCompleteAccess));
        const SiiDevice noPdo = siiOf("sensor+no-sii-pdo");
        QVERIFY(noPdo.txPdos.empty() && noPdo.rxPdos.empty());
        QCOMPARE(noPdo.syncManagers[3].length, uint16_t(5)); // the default size is still there
        const SiiDevice noCoe = siiOf("sensor+no-coe");
        QVERIFY(noCoe.hasMailbox() && !noCoe.hasCoe());
        QCOMPARE(noCoe.general.coeDetails, uint8_t(0));
        QCOMPARE(noCoe.pdoBits(3), 40u);
        const SiiDevice alt = siiOf("io-mixed+alt-pdo");
        QCOMPARE(alt.txPdos.size(), size_t(2));
        QCOMPARE(alt.txPdos[1].syncManager, ecwire::sii::PdoNotAssigned);
        QCOMPARE(alt.pdoBits(3), 48u); // only the assigned ones count
        QCOMPARE(alt.txPdos[1].bits(), 64u);
        QCOMPARE(alt.rxPdos[1].index, uint16_t(0x1610));
        QCOMPARE(alt.rxPdos[1].syncManager, ecwire::sii::PdoNotAssigned);
        const SiiDevice noSm = siiOf("sensor+no-sm-category");
        QVERIFY(noSm.syncManagers.empty());
        QCOMPARE(noSm.mbxRxOffset, uint16_t(0x1000));
        const SiiDevice m512 = siiOf("sensor+mbx512");
        QCOMPARE(m512.mbxRxOffset, uint16_t(0x1000));
        QCOMPARE(m512.mbxRxSize, uint16_t(512));
        QCOMPARE(m512.mbxTxOffset, uint16_t(0x1200));
        QCOMPARE(m512.mbxTxSize, uint16_t(512));
        QCOMPARE(m512.syncManagers[3].start, uint16_t(0x1480)); // process data after the mailboxes
        const SiiDevice asym = siiOf("sensor+mbx-asym");
        QCOMPARE(asym.mbxRxOffset, uint16_t(0x1800));
        QCOMPARE(asym.mbxRxSize, uint16_t(128));
        QCOMPARE(asym.mbxTxOffset, uint16_t(0x1C00));
        QCOMPARE(asym.mbxTxSize, uint16_t(256));
        QCOMPARE(asym.syncManagers[1].length, uint16_t(256));
    }

    // The object dictionary under each option.
    void objectDictionary()
    {
        TestMaster m("io-mixed+alt-pdo+no-1c00,sensor+no-coe,wide-in+no-sii-pdo+no-pdo-assign");
        QVERIFY(bringUp(m).ok);
        std::vector<uint8_t> data;
        uint32_t abort = 0;
        QVERIFY(!m.upload(0, 0x1C00, 0, false, data, &abort));
        QCOMPARE(abort, coe::AbortNoObject);
        QVERIFY(m.upload(0, 0x1C13, 0, false, data));
        QCOMPARE(data, std::vector<uint8_t>({1}));
        QVERIFY(m.upload(0, 0x1A10, 0, false, data)); // offered, not assigned
        QCOMPARE(data, std::vector<uint8_t>({2}));
        QVERIFY(!m.upload(1, 0x1000, 0, false, data));
        QVERIFY2(m.probe.error().find("mailbox error 2") != std::string::npos, m.probe.error().c_str());
        QVERIFY(m.upload(2, 0x1C13, 1, false, data)); // PDO assign answers, though not announced
        QCOMPARE(getU16(data.data()), uint16_t(0x1A00));
    }

    // The same objects answered expedited, normal or segmented; the data is the same.
    void replyStyles_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("kind");
        QTest::newRow("default") << "" << int(SdoReply::Expedited);
        QTest::newRow("sdo-expedited") << "+sdo-expedited" << int(SdoReply::Expedited);
        QTest::newRow("sdo-normal") << "+sdo-normal" << int(SdoReply::Normal);
        QTest::newRow("sdo-segmented") << "+sdo-segmented" << int(SdoReply::Normal);
    }
    void replyStyles()
    {
        QFETCH(QString, option);
        QFETCH(int, kind);
        TestMaster m("sensor" + option.toStdString());
        QVERIFY(bringUp(m).ok);
        SdoReply r;
        QVERIFY(m.sdo(0, 0x1018, 1, false, r));
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(r.data.empty(), option == "+sdo-segmented"); // the size first, the data in segments
        if (kind == SdoReply::Normal)
            QCOMPARE(r.completeSize, 4u);
        std::vector<uint8_t> vendor, name;
        QVERIFY(m.upload(0, 0x1018, 1, false, vendor));
        QCOMPARE(getU32(vendor.data()), m.bus->slave(0).device().sii.vendorId);
        QVERIFY(m.upload(0, 0x1008, 0, false, name));
        QCOMPARE(std::string(name.begin(), name.end()), std::string("Pressure sensor"));
        QVERIFY(m.upload(0, 0x1A00, 0, true, name)); // complete access too
        QCOMPARE(name.size(), size_t(10));
    }

    // Complete access: served, not served, announced and refused, or served unannounced.
    void completeAccessModes_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("served");
        QTest::newRow("sensor") << "sensor" << true << true;
        QTest::newRow("no-ca") << "sensor+no-ca" << false << false;
        QTest::newRow("ca-refused") << "sensor+ca-refused" << true << false;
        QTest::newRow("ca-unannounced") << "sensor+ca-unannounced" << false << true;
    }
    void completeAccessModes()
    {
        QFETCH(QString, entry);
        QFETCH(bool, announced);
        QFETCH(bool, served);
        QCOMPARE(bool(siiOf(entry.toStdString()).general.coeDetails & sii::CoeCompleteAccess), announced);
        TestMaster m(entry.toStdString());
        QVERIFY(bringUp(m).ok);
        std::vector<uint8_t> data;
        uint32_t abort = 0;
        QCOMPARE(m.upload(0, 0x1C13, 0, true, data, &abort), served);
        if (served)
            QCOMPARE(data, std::vector<uint8_t>({1, 0, 0x00, 0x1A}));
        else
            QCOMPARE(abort, coe::AbortUnsupportedAccess);
        QVERIFY(m.upload(0, 0x1C13, 0, false, data)); // subindex by subindex always
        QCOMPARE(data, std::vector<uint8_t>({1}));
    }

    // The mailbox layouts: PRE-OP only with the SII's; requests go where it says.
    void mailboxLayouts()
    {
        TestMaster m("sensor+mbx-asym");
        m.assignStations();
        m.writeSm(0, 0, 0x1000, 128, sm::ControlMailboxOut);
        m.writeSm(0, 1, 0x1080, 128, sm::ControlMailboxIn);
        QCOMPARE(m.request(0, al::PreOp), uint16_t(al::Init | al::ErrorFlag));
        QCOMPARE(m.alCode(0), al::InvalidMailboxConfig);
        m.setupMailbox(0);
        QCOMPARE(m.request(0, al::PreOp | al::ErrorFlag), al::PreOp);
        std::vector<uint8_t> data;
        QVERIFY(m.upload(0, 0x1A00, 0, true, data));
        QCOMPARE(m.fprd(0, 0x1C00, 256).wkc, uint16_t(0)); // read, empty again
        // A 512-byte mailbox carries a 5000-bit mapping object in one reply.
        TestMaster big("big-in+mbx512+sdo-normal");
        QVERIFY(bringUp(big).ok);
        SdoReply r;
        QVERIFY(big.sdo(0, 0x1A00, 0, true, r));
        QCOMPARE(r.completeSize, uint32_t(2 + 250 * 4));
        QCOMPARE(r.data.size(), sdoNormalCapacity(512));
    }
};

QTEST_APPLESS_MAIN(TestDevices)
#include "tst_devices.moc"
