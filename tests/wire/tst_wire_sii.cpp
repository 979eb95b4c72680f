#include <QtTest>

#include "ecwire/sii.h"

using namespace ecwire;

namespace {
SiiDevice sampleDevice()
{
    SiiDevice d;
    d.alias = 0x0042;
    d.vendorId = 0x00ABCDEF;
    d.productCode = 0x50524553;
    d.revision = 0x00010002;
    d.serial = 12345;
    d.mbxRxOffset = 0x1000;
    d.mbxRxSize = 128;
    d.mbxTxOffset = 0x1080;
    d.mbxTxSize = 128;
    d.mailboxProtocols = sii::ProtoCoE;
    d.strings = {"Sensors", "PS-1", "Pressure sensor"};
    d.hasGeneral = true;
    d.general.groupIdx = 1;
    d.general.orderIdx = 2;
    d.general.nameIdx = 3;
    d.general.coeDetails = sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess;
    d.general.ebusCurrentMa = -100;
    d.fmmus = {sii::FmmuOutputs, sii::FmmuInputs, sii::FmmuMailboxStatus};
    d.syncManagers = {{0x1000, 128, 0x26, 0, 1, sii::SmMailboxOut},
                      {0x1080, 128, 0x22, 0, 1, sii::SmMailboxIn},
                      {0x1100, 0, 0x64, 0, 0, sii::SmOutputs},
                      {0x1180, 5, 0x20, 0, 1, sii::SmInputs}};
    SiiPdo tx;
    tx.index = 0x1A00;
    tx.syncManager = 3;
    tx.entries = {{0x6000, 1, 0, 5, 8, 0}, {0x6000, 2, 0, 8, 32, 0}};
    d.txPdos = {tx};
    return d;
}
} // namespace

class TestSii : public QObject {
    Q_OBJECT
private slots:
    void crcKnownVectors()
    {
        const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
        QCOMPARE(siiCrc8(check, sizeof check), uint8_t(0xFB));
        const uint8_t header[14] = {0x80, 0x0C, 0x00, 0x0E, 0x88, 0xCC, 0, 0x10, 0, 0, 0, 0, 0, 0};
        QCOMPARE(siiCrc8(header, sizeof header), uint8_t(0xAB));
        QCOMPARE(siiCrc8(nullptr, 0), uint8_t(0xFF));
    }

    void buildAndParse()
    {
        std::vector<uint16_t> w;
        std::string err;
        QVERIFY(buildSiiImage(sampleDevice(), w, &err));
        QCOMPARE(w[sii::StationAlias], uint16_t(0x0042));
        QCOMPARE(w[sii::VendorId], uint16_t(0xCDEF));
        QCOMPARE(w[sii::VendorId + 1], uint16_t(0x00AB));
        QCOMPARE(w[sii::StdRxMailboxSize], uint16_t(128));
        QCOMPARE(w[sii::Checksum], uint16_t(siiHeaderCrc(w)));
        QCOMPARE(w.back(), sii::CatEnd);
        QCOMPARE(w[sii::FirstCategory], sii::CatStrings);

        size_t need = 0;
        QCOMPARE(scanSiiImage(w, &need), SiiScan::Complete);

        SiiDevice d;
        QVERIFY2(parseSiiImage(w, d, &err), err.c_str());
        QVERIFY(d.checksumOk);
        QCOMPARE(d.alias, uint16_t(0x0042));
        QCOMPARE(d.vendorId, 0x00ABCDEFu);
        QCOMPARE(d.productCode, 0x50524553u);
        QCOMPARE(d.revision, 0x00010002u);
        QCOMPARE(d.serial, 12345u);
        QVERIFY(d.hasCoe());
        QCOMPARE(d.mbxTxOffset, uint16_t(0x1080));
        QCOMPARE(d.strings.size(), size_t(3));
        QCOMPARE(QString::fromStdString(d.name()), QString("Pressure sensor"));
        QCOMPARE(QString::fromStdString(d.string(1)), QString("Sensors"));
        QVERIFY(d.string(0).empty());
        QVERIFY(d.string(4).empty());
        QVERIFY(d.hasGeneral);
        QCOMPARE(d.general.coeDetails, uint8_t(sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess));
        QCOMPARE(d.general.ebusCurrentMa, int16_t(-100));
        QCOMPARE(d.fmmus.size() >= 3, true);
        QCOMPARE(d.fmmus[1], sii::FmmuInputs);
        QCOMPARE(d.syncManagers.size(), size_t(4));
        QCOMPARE(d.syncManagers[3].start, uint16_t(0x1180));
        QCOMPARE(d.syncManagers[3].type, sii::SmInputs);
        QCOMPARE(d.syncManagers[0].control, uint8_t(0x26));
        QCOMPARE(d.txPdos.size(), size_t(1));
        QCOMPARE(d.txPdos[0].entries.size(), size_t(2));
        QCOMPARE(d.txPdos[0].entries[1].bitLength, uint8_t(32));
        QCOMPARE(d.pdoBits(3), 40u);
        QCOMPARE(d.pdoBits(2), 0u);
        QCOMPARE(d.inputBits(), 40u);
        QCOMPARE(d.outputBits(), 0u);
    }

    void checksumMismatchIsReported()
    {
        std::vector<uint16_t> w;
        QVERIFY(buildSiiImage(sampleDevice(), w));
        w[sii::StationAlias] ^= 1;
        SiiDevice d;
        QVERIFY(parseSiiImage(w, d));
        QVERIFY(!d.checksumOk);
    }

    void scanAsksForMore()
    {
        std::vector<uint16_t> w;
        QVERIFY(buildSiiImage(sampleDevice(), w));
        std::vector<uint16_t> part(w.begin(), w.begin() + 10);
        size_t need = 0;
        QCOMPARE(scanSiiImage(part, &need), SiiScan::NeedMore);
        QCOMPARE(need, size_t(0x42));
        // Feed as much as asked until complete; must end exactly at the marker.
        part.clear();
        int rounds = 0;
        while (scanSiiImage(part, &need) == SiiScan::NeedMore && rounds++ < 100) {
            QVERIFY(need > part.size());
            QVERIFY(need <= w.size() + 1);
            part.assign(w.begin(), w.begin() + long(std::min(need, w.size())));
        }
        QCOMPARE(scanSiiImage(part, &need), SiiScan::Complete);
        // An EEPROM that reads 0xFFFF beyond the image counts as complete.
        std::vector<uint16_t> blank(0x50, 0xFFFF);
        QCOMPARE(scanSiiImage(blank, &need), SiiScan::Complete);
        // Category sizes pointing far beyond the address space are malformed.
        std::vector<uint16_t> bad(0x42, 0);
        bad[0x40] = sii::CatGeneral;
        bad[0x41] = 0xFFFF;
        QCOMPARE(scanSiiImage(bad, &need), SiiScan::Malformed);
    }

    void truncatedCategories()
    {
        std::vector<uint16_t> w;
        QVERIFY(buildSiiImage(sampleDevice(), w));
        SiiDevice d;
        std::string err;
        QVERIFY(!parseSiiImage(std::vector<uint16_t>(w.begin(), w.begin() + 63), d, &err));
        QVERIFY(err.find("header") != std::string::npos);
        // Cut the image inside every category in turn: what comes before the
        // cut is kept, the cut category is named as left out.
        size_t pos = sii::FirstCategory;
        int categories = 0;
        while (w[pos] != sii::CatEnd) {
            const size_t size = w[pos + 1];
            for (size_t cut = pos + 1; cut < pos + 2 + size; ++cut) {
                std::vector<uint16_t> t(w.begin(), w.begin() + long(cut));
                QVERIFY2(parseSiiImage(t, d, &err), qPrintable(QString::number(cut)));
                QCOMPARE(d.skipped.size(), size_t(1));
                QVERIFY(d.skipped[0].find("at word") != std::string::npos);
                QCOMPARE(d.vendorId, 0x00ABCDEFu);
                QCOMPARE(d.strings.empty(), categories == 0);
            }
            pos += 2 + size;
            ++categories;
        }
    }

    void malformedCategoryIsLeftOut()
    {
        std::vector<uint16_t> base(sii::FirstCategory, 0);
        // A good strings category before and a good TxPDO after the bad one.
        const std::vector<uint16_t> strings{sii::CatStrings, 2, 0x0101, 0x0041};
        const std::vector<uint16_t> txPdo{sii::CatTxPdo, 8, 0x1A00, 0x0301, 0, 0, 0x6000, 0x0001, 0x1000, 0};
        auto withCategory = [&](uint16_t type, std::vector<uint16_t> data) {
            std::vector<uint16_t> w = base;
            w.insert(w.end(), strings.begin(), strings.end());
            w.push_back(type);
            w.push_back(uint16_t(data.size()));
            w.insert(w.end(), data.begin(), data.end());
            w.insert(w.end(), txPdo.begin(), txPdo.end());
            w.push_back(sii::CatEnd);
            return w;
        };
        struct Case {
            const char *what;
            uint16_t type;
            std::vector<uint16_t> data;
            const char *named;
        } cases[] = {
            {"strings: count 3, one string of 2 bytes", sii::CatStrings, {0x0203, 0x4241}, "strings category"},
            {"string length beyond the data", sii::CatStrings, {0x0901, 0x4241}, "strings category"},
            {"general shorter than 14 bytes", sii::CatGeneral, {0, 0, 0}, "general category"},
            {"PDO with 3 entries declared, 1 present", sii::CatRxPdo, {0x1600, 0x0303, 0, 0, 0x7000, 1, 0x0800, 0},
             "0x1600"},
            {"PDO header cut", sii::CatRxPdo, {0x1600, 0x0200}, "RxPDO category"},
            {"empty strings category (no count byte)", sii::CatStrings, {}, "strings category"},
        };
        for (const Case &c : cases) {
            SiiDevice d;
            std::string err;
            QVERIFY2(parseSiiImage(withCategory(c.type, c.data), d, &err), c.what);
            QCOMPARE(d.skipped.size(), size_t(1));
            QVERIFY2(d.skipped[0].find(c.named) != std::string::npos, d.skipped[0].c_str());
            // The good categories around it are kept.
            QCOMPARE(d.string(1), std::string("A"));
            QCOMPARE(d.txPdos.size(), size_t(1));
            QCOMPARE(d.inputBits(), 16u);
            QVERIFY(d.rxPdos.empty());
            QVERIFY(!d.hasGeneral);
        }
        // A SyncManager category of 12 bytes keeps its one whole entry.
        SiiDevice d;
        QVERIFY(parseSiiImage(withCategory(sii::CatSyncManager, {0x1000, 0x80, 0x0026, 0x0101, 0x1080, 0x80}), d));
        QCOMPARE(d.syncManagers.size(), size_t(1));
        QCOMPARE(d.syncManagers[0].start, uint16_t(0x1000));
        QCOMPARE(d.skipped.size(), size_t(1));
        // Unknown and DC categories are skipped without a word.
        QVERIFY(parseSiiImage(withCategory(0x1234, {1, 2, 3}), d));
        QVERIFY(parseSiiImage(withCategory(sii::CatDc, {1, 2}), d));
        QVERIFY(d.skipped.empty());
    }

    void builderRejectsOversize()
    {
        SiiDevice d = sampleDevice();
        d.strings.push_back(std::string(300, 'x'));
        std::vector<uint16_t> w;
        std::string err;
        QVERIFY(!buildSiiImage(d, w, &err));
        QVERIFY(err.find("255") != std::string::npos);
    }
};

QTEST_APPLESS_MAIN(TestSii)
#include "tst_wire_sii.moc"
