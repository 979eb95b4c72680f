// The master against slave-controller behaviour of the field: the model's
// device options and commands (EEPROM reads not acknowledged, SII without
// PDO or SyncManager categories, CoE without "PDO assign", ESCs without
// LRW), and what EscQuirks lays over the model: the SII interface's timing,
// other SII contents, 32-bit clocks, FMMUs that run out, AL errors and their
// acknowledge.
#include "connect_steps.h"
#include "device_sizes.h"
#include "engine.h"
#include "esc_quirks.h"
#include "master_fixture.h"
#include "stderr_capture.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

#include <QElapsedTimer>
#include <QtTest>

#include <chrono>
#include <memory>

#include "txrx.h"

namespace {

namespace reg = ecwire::reg;

ecwire::SiiDevice modelDevice(MasterOnSim &m, int position)
{
    return deviceSii(m.sim.bus(), size_t(position));
}

EscQuirks::Sii served(const ecwire::SiiDevice &d, bool eightBytes = true, int busyFrames = 2)
{
    EscQuirks::Sii s;
    if (!ecwire::buildSiiImage(d, s.image))
        qFatal("SII image cannot be built");
    s.eightBytes = eightBytes;
    s.busyFrames = busyFrames;
    return s;
}

// The SII image with one raw category (type, data words) put before the end marker.
EscQuirks::Sii withRawCategory(const ecwire::SiiDevice &d, uint16_t type, std::vector<uint16_t> data)
{
    EscQuirks::Sii s = served(d);
    s.image.pop_back(); // end marker
    s.image.push_back(type);
    s.image.push_back(uint16_t(data.size()));
    s.image.insert(s.image.end(), data.begin(), data.end());
    s.image.push_back(ecwire::sii::CatEnd);
    return s;
}

float pressureOf(const ec_slavet &s)
{
    return ecwire::getF32(s.inputs + 1);
}

// SyncManager n as the slave holds it.
ecwire::SmEntry readSm(MasterOnSim &m, int slave, unsigned n)
{
    uint8_t b[ecwire::sm::EntrySize] = {};
    ethercat::fprd(m.c(), m.slave(slave).configadr, reg::sm(n), b, sizeof b);
    return ecwire::decodeSm(b);
}

uint16_t readU16(MasterOnSim &m, int slave, uint16_t ado)
{
    uint8_t b[2] = {};
    if (ethercat::fprd(m.c(), m.slave(slave).configadr, ado, b, 2) != 1)
        return 0xFFFF;
    return ecwire::getU16(b);
}

} // namespace

class TestMasterEsc : public QObject {
    Q_OBJECT
private slots:
    void siiCommandRunsAfterItsFrame_data();
    void siiCommandRunsAfterItsFrame();
    void siiMissingAcknowledgeIsClearedAndRetried();
    void siiStillLoadingAfterPowerUp();
    void coeSizesWithoutPdoAssignAnnounced();
    void siiAlternativePdosDoNotCount();
    void noSyncManagerCategoryUsesStandardLayout_data();
    void noSyncManagerCategoryUsesStandardLayout();
    void malformedSiiCategoryIsLeftOut();
    void noLrwExchangesWithLrdAndLwr_data();
    void noLrwExchangesWithLrdAndLwr();
    void directionWithoutFmmuNotCounted();
    void dc32ClockReadAndSetAs32Bit();
    void errorAcknowledgedWithTheNextRequest();
    void safeOpWithErrorIsNotSafeOp();
    void refusedPreOpNamesTheCode();
    void framesWithChecksumAccepted();
    void deviceEmulationComesUpQuickly_data();
    void deviceEmulationComesUpQuickly();
    void acknowledgeOnlyWhereTheErrorShows();
    void siiHeldByTheSlavesProcessorIsTakenBack();
    void siiKeptByTheSlavesProcessorFailsClearly();
    void watchdogLeftByAnEarlierMasterIsReset();
    void slowPreOpStillUsesCoe();
    void fmmuUsage0xFFIsUnused();
};

// ETHERCAT.md "Registers", SII control/status: the ESC starts a command after
// the end of the frame that wrote it; status and data belong in later frames.
void TestMasterEsc::siiCommandRunsAfterItsFrame_data()
{
    QTest::addColumn<bool>("eightBytes");
    QTest::addColumn<int>("busyFrames");
    QTest::newRow("8-byte reads, done by the next frame") << true << 1;
    QTest::newRow("8-byte reads, busy for 4 frames") << true << 4;
    QTest::newRow("4-byte reads, busy for 3 frames") << false << 3;
}

void TestMasterEsc::siiCommandRunsAfterItsFrame()
{
    QFETCH(bool, eightBytes);
    QFETCH(int, busyFrames);
    MasterOnSim m("sensor");
    const ecwire::SiiDevice dev = modelDevice(m, 0);
    EscQuirks q(m.sim);
    q.setSii(0, served(dev, eightBytes, busyFrames));
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.slave(1).eep_man, dev.vendorId);
    QCOMPARE(m.slave(1).eep_id, dev.productCode);
    QCOMPARE(m.slave(1).eep_ser, dev.serial);
    QCOMPARE(QString(m.slave(1).name), QString::fromStdString(dev.name()));
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(q.siiDataReadEarly, 0);
    QCOMPARE(q.siiWritesWhileBusy, 0);
}

// Bit 13 of 0x0502 (missing acknowledge) stays until command 000 clears it.
void TestMasterEsc::siiMissingAcknowledgeIsClearedAndRetried()
{
    MasterOnSim m("sensor");
    const ecwire::SiiDevice dev = modelDevice(m, 0);
    QCOMPARE(m.sim.command("slave 1 sii-nack 2"), std::string("ok"));
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.slave(1).eep_man, dev.vendorId);
    QCOMPARE(m.slave(1).eep_id, dev.productCode);
}

// After power-up the ESC loads its configuration from the EEPROM with the
// interface busy: no command may be written before it is done.
void TestMasterEsc::siiStillLoadingAfterPowerUp()
{
    MasterOnSim m("sensor,dig-in");
    const ecwire::SiiDevice dev = modelDevice(m, 1);
    EscQuirks q(m.sim);
    EscQuirks::Sii s = served(dev, false, 2);
    s.loadingFrames = 60;
    q.setSii(1, s);
    QCOMPARE(m.bringUp(), 5 + 2);
    QCOMPARE(m.slave(2).eep_id, dev.productCode);
    QCOMPARE(m.slave(2).Ibytes, 2u);
    QCOMPARE(q.siiWritesWhileBusy, 0);
    QCOMPARE(m.exchange(), 2);
}

// ETHERCAT.md "A typical bring-up" 6: PDO sizes over CoE whenever the
// mailbox protocols include CoE, whatever the CoE details announce
// (here 0x3B: no "PDO assign"), and the SII has no PDO categories.
void TestMasterEsc::coeSizesWithoutPdoAssignAnnounced()
{
    MasterOnSim m("sensor+no-pdo-assign+no-sii-pdo");
    const ecwire::SiiDevice dev = modelDevice(m, 0);
    QCOMPARE(dev.general.coeDetails, uint8_t(0x3B));
    QVERIFY(dev.txPdos.empty());
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.slave(1).Ibytes, 5u);
    QCOMPARE(m.sizesFromCoe(1), true);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
}

// ETG.2010 TxPDO category: a PDO of SyncManager 0xFF is an alternative that
// is not exchanged; only PDOs assigned to a SyncManager make its size.
void TestMasterEsc::siiAlternativePdosDoNotCount()
{
    MasterOnSim m("sensor-sii");
    ecwire::SiiDevice dev = modelDevice(m, 0);
    ecwire::SiiPdo alt = dev.txPdos.at(0);
    alt.index = 0x1A01;
    alt.syncManager = 0xFF;
    dev.txPdos.push_back(alt);
    EscQuirks q(m.sim);
    q.setSii(0, served(dev));
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.slave(1).Ibits, uint16_t(40));
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
}

// Without a typed SyncManager category the process-data SyncManagers go to
// process memory (0x1000 on) after the mailbox areas, never to address 0.
void TestMasterEsc::noSyncManagerCategoryUsesStandardLayout_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("with mailbox") << "sensor";
    QTest::newRow("without mailbox") << "sensor-sii";
}

void TestMasterEsc::noSyncManagerCategoryUsesStandardLayout()
{
    QFETCH(QString, kind);
    MasterOnSim m(kind.toStdString() + "+no-sm-category");
    const ecwire::SiiDevice dev = modelDevice(m, 0);
    QVERIFY(dev.syncManagers.empty());
    QCOMPARE(m.bringUp(), 5);
    const ecwire::SmEntry in = readSm(m, 1, 3);
    QCOMPARE(in.length, uint16_t(5));
    QVERIFY2(in.physicalStart >= reg::ProcessRam, qPrintable(QString::number(in.physicalStart, 16)));
    if (dev.hasMailbox()) {
        QVERIFY(in.physicalStart >= dev.mbxRxOffset + dev.mbxRxSize);
        QVERIFY(in.physicalStart >= dev.mbxTxOffset + dev.mbxTxSize);
    }
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.sim.command("pressure 1013.25"), std::string("ok"));
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(pressureOf(m.slave(1)), 101325.0f);
}

// A category that cannot be read is left out, the others still count.
void TestMasterEsc::malformedSiiCategoryIsLeftOut()
{
    MasterOnSim m("sensor-sii");
    const ecwire::SiiDevice dev = modelDevice(m, 0);
    EscQuirks q(m.sim);
    // An RxPDO declaring 3 entries with one present.
    q.setSii(0, withRawCategory(dev, ecwire::sii::CatRxPdo, {0x1600, 0x0303, 0, 0, 0x7000, 1, 0x0800, 0}));
    testsupport::StderrCapture err;
    QCOMPARE(m.bringUp(), 5);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("slave 1: SII RxPDO category at word") && text.contains("left out"), qPrintable(text));
    QCOMPARE(QString(m.slave(1).name), QString::fromStdString(dev.name()));
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
}

// ESC features (0x0008) bit 9: LRW not supported; LWR carries the outputs,
// LRD the inputs, each slave adding 1 per direction.
void TestMasterEsc::noLrwExchangesWithLrdAndLwr_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("size");
    QTest::newRow("inputs") << "sensor" << 5;
    QTest::newRow("outputs") << "dig-out" << 1;
}

void TestMasterEsc::noLrwExchangesWithLrdAndLwr()
{
    QFETCH(QString, kind);
    QFETCH(int, size);
    MasterOnSim m(kind.toStdString() + "+no-lrw");
    QCOMPARE(m.bringUp(), size);
    QCOMPARE(m.expectedWkc(), 1);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 1);
    if (kind == "sensor") {
        QCOMPARE(m.sim.command("pressure 500"), std::string("ok"));
        QCOMPARE(m.exchange(), 1);
        QCOMPARE(pressureOf(m.slave(1)), 50000.0f);
    }
}

// A direction that got no FMMU is not exchanged, so it does not count in the
// expected working counter.
void TestMasterEsc::directionWithoutFmmuNotCounted()
{
    MasterOnSim m("dig-out,sensor-sii");
    ecwire::SiiDevice dev = modelDevice(m, 1);
    dev.fmmus = {ecwire::sii::FmmuMailboxStatus, ecwire::sii::FmmuMailboxStatus, ecwire::sii::FmmuMailboxStatus,
                 ecwire::sii::FmmuMailboxStatus};
    EscQuirks q(m.sim);
    q.setSii(1, served(dev));
    q.patchRegister(1, reg::FmmusSupported, {4});
    testsupport::StderrCapture err;
    ecx_config_init(m.c());
    ecx_config_map_group(m.c(), m.iomap, 0);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("slave 2 has no free FMMU for its inputs"), qPrintable(text));
    QCOMPARE(m.expectedWkc(), 2); // the outputs of slave 1 only
    ecx_statecheck(m.c(), 0, EC_STATE_SAFE_OP, 100000);
    QCOMPARE(m.exchange(), m.expectedWkc());
}

// ESC features bit 3 clear: a 32-bit clock. Its time registers have 32 bits;
// a 64-bit reference and it agree in those bits after ecx_configdc.
void TestMasterEsc::dc32ClockReadAndSetAs32Bit()
{
    MasterOnSim m("sensor,sensor");
    EscQuirks q(m.sim);
    q.dc32(1);
    QCOMPARE(ecx_config_init(m.c()), 2);
    QCOMPARE(bool(m.slave(2).hasdc), true);
    QVERIFY(ecx_configdc(m.c()));
    QCOMPARE(q.dcUpperHalfAccesses, 0);
    // Both system times in one frame: the difference is the hop between them.
    uint8_t t[2][8] = {};
    ethercat::Datagram d[2];
    for (int i = 0; i < 2; ++i) {
        d[i].command = ecwire::Command::FPRD;
        d[i].address = ecwire::makeAddress(m.slave(i + 1).configadr, reg::DcSystemTime);
        d[i].data = t[i];
        d[i].length = 8;
    }
    QCOMPARE(ethercat::exchange(*ethercat::engineOf(m.c()), d, 2, 10000), 1);
    const int32_t diff = int32_t(ecwire::getU32(t[1]) - ecwire::getU32(t[0]));
    QVERIFY2(diff > -100000 && diff < 100000, qPrintable(QString::number(diff)));
}

// ETHERCAT.md "States": a slave with the error indication takes a request
// only with the error acknowledge (AL control bit 4).
void TestMasterEsc::errorAcknowledgedWithTheNextRequest()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.sim.command("refuse-op on"), std::string("ok"));
    QCOMPARE(m.bringUp(MasterOnSim::kShortWaitUs, 20000), 5);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_SAFE_OP | EC_STATE_ERROR));
    QCOMPARE(m.sim.command("refuse-op off"), std::string("ok"));
    m.c()->slavelist[0].state = EC_STATE_OPERATIONAL;
    ecx_writestate(m.c(), 0);
    QCOMPARE(ecx_statecheck(m.c(), 0, EC_STATE_OPERATIONAL, 200000), uint16_t(EC_STATE_OPERATIONAL));
    // The same for a request to one slave.
    QCOMPARE(m.sim.command("refuse-op on"), std::string("ok"));
    m.slave(1).state = EC_STATE_SAFE_OP;
    ecx_writestate(m.c(), 1);
    QCOMPARE(ecx_statecheck(m.c(), 1, EC_STATE_SAFE_OP, 200000), uint16_t(EC_STATE_SAFE_OP));
    m.slave(1).state = EC_STATE_OPERATIONAL;
    ecx_writestate(m.c(), 1);
    QCOMPARE(ecx_statecheck(m.c(), 1, EC_STATE_OPERATIONAL, 20000), uint16_t(EC_STATE_SAFE_OP | EC_STATE_ERROR));
    QCOMPARE(m.sim.command("refuse-op off"), std::string("ok"));
    m.slave(1).state = EC_STATE_OPERATIONAL;
    ecx_writestate(m.c(), 1);
    QCOMPARE(ecx_statecheck(m.c(), 1, EC_STATE_OPERATIONAL, 200000), uint16_t(EC_STATE_OPERATIONAL));
}

// SAFE-OP with the error bit (0x14) is not SAFE-OP: the wait runs its full
// time and says which slave is where, with the AL status code in words.
void TestMasterEsc::safeOpWithErrorIsNotSafeOp()
{
    MasterOnSim m("sensor");
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.sim.command("error-state 0x14 0x001B"), std::string("ok"));
    testsupport::StderrCapture err;
    QElapsedTimer t;
    t.start();
    const uint16_t state = ecx_statecheck(m.c(), 0, EC_STATE_SAFE_OP, 50000);
    const qint64 waitedUs = t.nsecsElapsed() / 1000;
    QCOMPARE(state, uint16_t(0x14));
    QVERIFY2(waitedUs >= 50000, qPrintable(QString::number(waitedUs)));
    const QString text = QString::fromStdString(err.text());
    QCOMPARE(text.count('\n'), 1);
    QVERIFY2(text.contains("slave 1 (Pressure sensor) in SAFE-OP+ERROR, SAFE-OP requested: AL status code 0x001B "
                           "(sync manager watchdog)"),
             qPrintable(text));
}

// A slave that refuses PRE-OP (its mailbox SyncManagers do not match what
// it expects: AL status code 0x0016) is named with the code.
void TestMasterEsc::refusedPreOpNamesTheCode()
{
    MasterOnSim m("sensor");
    ecwire::SiiDevice dev = modelDevice(m, 0);
    dev.mbxTxSize = 64;
    EscQuirks q(m.sim);
    q.setSii(0, served(dev));
    testsupport::StderrCapture err;
    ecx_config_init(m.c());
    // Its mailbox is not asked (it would not answer): the SII gives the sizes.
    QElapsedTimer t;
    t.start();
    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 5);
    QVERIFY(t.elapsed() < ethercat::kConfigTimeoutUs / 1000 * 10);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("ecx_statecheck: slave 1 (Pressure sensor) in INIT+ERROR, PRE-OP requested: AL status "
                           "code 0x0016 (invalid mailbox configuration (PRE-OP))"),
             qPrintable(text));
    QVERIFY2(text.contains("ecx_config_map_group: slave 1 (Pressure sensor): inputs from the SII PDO categories "
                           "(the slave is in INIT+ERROR, its mailbox does not answer)"),
             qPrintable(text));
}

// A frame may arrive with its 4-byte frame check sequence still on it, a
// full-size one at 1518 bytes.
void TestMasterEsc::framesWithChecksumAccepted()
{
    MasterOnSim m("sensor,big-in");
    m.sim.trailerBytes = 4;
    QCOMPARE(m.bringUp(), 5005);
    QCOMPARE(m.slave(2).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), 5);
}

// ESC register description, PDI control 0x0140 bit 8 (device emulation): an
// ESC without a processor copies AL control into AL status, the error
// acknowledge bit as the error indication. Such a slave gets no acknowledge,
// so it shows every requested state plainly and the bus comes up at once.
void TestMasterEsc::deviceEmulationComesUpQuickly_data()
{
    QTest::addColumn<QString>("bus");
    QTest::addColumn<int>("emulating");
    QTest::newRow("alone") << "dig-in+device-emulation" << 1;
    QTest::newRow("behind the sensor") << "sensor,dig-out+device-emulation" << 2;
    QTest::newRow("sensor without mailbox") << "sensor-sii+device-emulation,dig-in" << 1;
}

void TestMasterEsc::deviceEmulationComesUpQuickly()
{
    QFETCH(QString, bus);
    QFETCH(int, emulating);
    MasterOnSim m(bus.toStdString());
    QVERIFY(m.sim.ok());
    QElapsedTimer t;
    t.start();
    QVERIFY(m.bringUp(ecat::kSafeOpTimeoutUs, ecat::kOpTimeoutUs) > 0); // the link's waits
    QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed()) + " ms"));
    QVERIFY(ethercat::bookOf(m.c(), emulating).devEmulation);
    for (int i = 1; i <= m.c()->slavecount; ++i)
        QCOMPARE(m.slave(i).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(readU16(m, emulating, reg::AlStatus), uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.exchange(), m.expectedWkc());
}

// ETG.1000.6: the acknowledge goes to the slave whose AL status shows the
// error, with its request; a broadcast with it would show as an error on a
// slave in device emulation.
void TestMasterEsc::acknowledgeOnlyWhereTheErrorShows()
{
    MasterOnSim m("sensor,dig-out+device-emulation");
    QCOMPARE(m.sim.command("refuse-op on"), std::string("ok"));
    QCOMPARE(m.bringUp(MasterOnSim::kShortWaitUs, 20000), 6);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_SAFE_OP | EC_STATE_ERROR));
    QCOMPARE(m.slave(2).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.sim.command("refuse-op off"), std::string("ok"));
    m.c()->slavelist[0].state = EC_STATE_OPERATIONAL;
    QVERIFY(ecx_writestate(m.c(), 0) > 0);
    QCOMPARE(readU16(m, 2, reg::AlStatus), uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(ecx_statecheck(m.c(), 0, EC_STATE_OPERATIONAL, 200000), uint16_t(EC_STATE_OPERATIONAL));
    // And INIT for all at the end, as the link's disconnect asks.
    m.c()->slavelist[0].state = EC_STATE_INIT;
    QVERIFY(ecx_writestate(m.c(), 0) > 0);
    QCOMPARE(ecx_statecheck(m.c(), 0, EC_STATE_INIT, 200000), uint16_t(EC_STATE_INIT));
}

// ESC register description, 0x0500/0x0501: EtherCAT has the EEPROM only while
// 0x0500 bit 0 and 0x0501 bit 0 are clear; 0x0500 bit 1 (force ECAT access)
// clears 0x0501 bit 0. A processor left holding it gives it back to the reset.
void TestMasterEsc::siiHeldByTheSlavesProcessorIsTakenBack()
{
    MasterOnSim m("sensor,dig-in");
    const ecwire::SiiDevice dev = modelDevice(m, 1);
    EscQuirks q(m.sim);
    q.setSii(1, served(dev));
    q.pdiHoldsSii(1, true);
    QCOMPARE(m.bringUp(), 5 + 2);
    QCOMPARE(m.slave(2).eep_man, dev.vendorId);
    QCOMPARE(m.slave(2).eep_id, dev.productCode);
    QCOMPARE(m.slave(2).state, uint16_t(EC_STATE_OPERATIONAL));
}

// A processor that keeps the EEPROM: the read does not start (the address
// register shows another word), and the slave is named with the reason.
void TestMasterEsc::siiKeptByTheSlavesProcessorFailsClearly()
{
    MasterOnSim m("sensor,dig-in");
    const ecwire::SiiDevice dev = modelDevice(m, 1);
    EscQuirks q(m.sim);
    q.setSii(1, served(dev));
    q.pdiHoldsSii(1, false);
    testsupport::StderrCapture err;
    QCOMPARE(ecx_config_init(m.c()), 0);
    const QString text = QString::fromStdString(err.text());
    QVERIFY2(text.contains("ecx_config_init: slave 2: SII held by the slave's processor (0x0501 = 1"),
             qPrintable(text));
}

// ETHERCAT.md "Registers": watchdog divider 2498 (100 us), process-data
// watchdog 1000 (100 ms) by default. An earlier master left 0.4 ms; after our
// bring-up an output slave still runs at a 10 ms cycle.
void TestMasterEsc::watchdogLeftByAnEarlierMasterIsReset()
{
    MasterOnSim m("dig-out,sensor");
    // The bus clock runs with the wall clock; each cycle below adds 10 ms.
    auto offsetNs = std::make_shared<uint64_t>(0);
    m.sim.bus().setClock([offsetNs]() {
        return uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) + *offsetNs;
    });
    QVERIFY(ethercat::bwrU16(m.c(), reg::WatchdogDivider, 498) > 0);        // 20 us
    QVERIFY(ethercat::bwrU16(m.c(), reg::WatchdogTimeProcessData, 20) > 0); // 0.4 ms
    QCOMPARE(m.bringUp(), 1 + 5);
    QCOMPARE(readU16(m, 1, reg::WatchdogDivider), reg::WatchdogDividerDefault);
    QCOMPARE(readU16(m, 1, reg::WatchdogTimeProcessData), reg::WatchdogTimeProcessDataDefault);
    for (int cycle = 0; cycle < 5; ++cycle) {
        *offsetNs += 10'000'000;
        QCOMPARE(m.exchange(), 2 + 1);
    }
    QCOMPARE(ecx_readstate(m.c()), EC_STATE_OPERATIONAL);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
}

// A slave that takes longer than 2 s to reach PRE-OP: the master waits for
// it (ending as soon as it is there), reads its PDO sizes over CoE, and never
// asks it for SAFE-OP from INIT (AL status code 0x0011).
void TestMasterEsc::slowPreOpStillUsesCoe()
{
    MasterOnSim m("sensor+al-delay=1500");
    testsupport::StderrCapture err;
    QElapsedTimer t;
    t.start();
    QCOMPARE(ecx_config_init(m.c()), 1);
    QVERIFY2(t.elapsed() > 2000, qPrintable(QString::number(t.elapsed()))); // the slave's own time
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_PRE_OP));
    QCOMPARE(m.sim.command("al-delay 0"), std::string("ok"));
    QCOMPARE(ecx_config_map_group(m.c(), m.iomap, 0), 5);
    QCOMPARE(m.sizesFromCoe(1), true);
    QCOMPARE(ecx_statecheck(m.c(), 0, EC_STATE_SAFE_OP, 200000), uint16_t(EC_STATE_SAFE_OP));
    const std::string said = err.text();
    QVERIFY2(said.empty(), said.c_str());
}

// ETG.2010 FMMU category: 0xFF marks an FMMU not used, as 0 does.
void TestMasterEsc::fmmuUsage0xFFIsUnused()
{
    MasterOnSim m("sensor-sii");
    ecwire::SiiDevice dev = modelDevice(m, 0);
    dev.fmmus = {ecwire::sii::FmmuNotUsed, ecwire::sii::FmmuNotUsed, ecwire::sii::FmmuNotUsed};
    EscQuirks q(m.sim);
    q.setSii(0, served(dev));
    q.patchRegister(0, reg::FmmusSupported, {3});
    QCOMPARE(m.bringUp(), 5);
    QCOMPARE(m.expectedWkc(), 1);
    QCOMPARE(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    QCOMPARE(m.sim.command("pressure 250"), std::string("ok"));
    QCOMPARE(m.exchange(), 1);
    QCOMPARE(pressureOf(m.slave(1)), 25000.0f);
}

QTEST_APPLESS_MAIN(TestMasterEsc)
#include "tst_master_esc.moc"
