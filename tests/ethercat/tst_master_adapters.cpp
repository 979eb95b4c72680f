// Adapter names: which ones the master accepts, and how they are cut.
#include "adapter_check.h"

#include <soem/soem.h>

#include <QtTest>

#include <cstring>
#include <string>

class TestMasterAdapters : public QObject {
    Q_OBJECT
private slots:
    void pseudoDevicesAreNotEthernet();
    void badNamesRefusedWithReason();
    void copyCutKeepsShortNames();
    void copyCutStopsAt127();
    void copyCutDoesNotSplitUtf8();
    void freeingNullListIsHarmless();
};

void TestMasterAdapters::pseudoDevicesAreNotEthernet()
{
    QVERIFY(ethercat::isPseudoDeviceName("any"));
    QVERIFY(ethercat::isPseudoDeviceName("nflog"));
    QVERIFY(ethercat::isPseudoDeviceName("nfqueue"));
    QVERIFY(ethercat::isPseudoDeviceName("bluetooth0"));
    QVERIFY(ethercat::isPseudoDeviceName("dbus-system"));
    QVERIFY(ethercat::isPseudoDeviceName("usbmon1"));
    QVERIFY(!ethercat::isPseudoDeviceName("eth0"));
    QVERIFY(!ethercat::isPseudoDeviceName("enp3s0"));
}

void TestMasterAdapters::badNamesRefusedWithReason()
{
    std::string why;
    QVERIFY(!ethercat::checkEthernetAdapter("", &why));
    QVERIFY(why.find("empty") != std::string::npos);
    QVERIFY(!ethercat::checkEthernetAdapter(nullptr, &why));
    const std::string longName(EC_MAXLEN_ADAPTERNAME, 'x');
    QVERIFY(!ethercat::checkEthernetAdapter(longName.c_str(), &why));
    QVERIFY(why.find("longer") != std::string::npos);
    QVERIFY(!ethercat::checkEthernetAdapter("any", &why));
    QVERIFY(why.find("not an Ethernet") != std::string::npos);
}

void TestMasterAdapters::copyCutKeepsShortNames()
{
    char buf[EC_MAXLEN_ADAPTERNAME];
    std::memset(buf, 'Z', sizeof buf);
    ethercat::copyCut(buf, sizeof buf, "ecm0");
    QCOMPARE(QByteArray(buf), QByteArray("ecm0"));
}

void TestMasterAdapters::copyCutStopsAt127()
{
    char buf[EC_MAXLEN_ADAPTERNAME + 8];
    std::memset(buf, 'Z', sizeof buf);
    const std::string name(300, 'n');
    ethercat::copyCut(buf, EC_MAXLEN_ADAPTERNAME, name.c_str());
    QCOMPARE(std::strlen(buf), size_t(EC_MAXLEN_ADAPTERNAME - 1));
    // Nothing written beyond the 128 bytes.
    for (size_t i = EC_MAXLEN_ADAPTERNAME; i < sizeof buf; ++i)
        QCOMPARE(buf[i], 'Z');
}

void TestMasterAdapters::copyCutDoesNotSplitUtf8()
{
    // 126 ASCII bytes then a two-byte character: only its first byte would fit.
    std::string desc(126, 'a');
    desc += "\xC3\xA9 tail";
    char buf[EC_MAXLEN_ADAPTERNAME];
    ethercat::copyCut(buf, sizeof buf, desc.c_str());
    QCOMPARE(std::strlen(buf), size_t(126));
    // A three-byte character that ends exactly at the limit is kept whole.
    std::string fits(124, 'b');
    fits += "\xE2\x82\xAC";
    ethercat::copyCut(buf, sizeof buf, fits.c_str());
    QCOMPARE(std::strlen(buf), size_t(127));
}

void TestMasterAdapters::freeingNullListIsHarmless()
{
    ec_free_adapters(nullptr);
}

QTEST_APPLESS_MAIN(TestMasterAdapters)
#include "tst_master_adapters.moc"
