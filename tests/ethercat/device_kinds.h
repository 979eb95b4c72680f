// The buses every master test of device variety runs: each kind the
// simulator offers and each option, alone and in a chain. Shared by the
// in-process and the veth test; the expected sizes come from the devices'
// own descriptions (device_sizes.h).
#pragma once

#include "device_sizes.h"

#include <soem/soem.h>

#include <QtTest>

#include <vector>

inline void addDeviceKindRows()
{
    QTest::addColumn<QString>("bus");
    const char *const buses[] = {
        // Each kind alone.
        "sensor", "sensor-sii", "short-sensor", "dig-out", "dig-in", "big-in", "wide-in", "bits-in", "io-mixed",
        "drive",
        // Each option on a kind that can have it.
        "sensor+keep-mac", "wide-in+no-pdo-assign", "io-mixed+no-ca", "drive+ca-refused", "bits-in+ca-unannounced",
        "sensor+sdo-expedited", "drive+sdo-normal", "wide-in+sdo-segmented", "io-mixed+no-ca+sdo-segmented",
        "sensor+no-1c00", "drive+no-sii-pdo", "io-mixed+no-coe", "io-mixed+alt-pdo", "io-mixed+alt-pdo+no-coe",
        "io-mixed+no-sm-category", "sensor-sii+no-sm-category", "drive+mbx512", "wide-in+mbx-asym",
        "sensor+stale-reply", "sensor+slow", "io-mixed+al-delay=30", "sensor+sdo-delay=100", "sensor+sii4",
        "dig-in+sii8", "io-mixed+sii-busy=300", "drive+eeprom-loading=200", "drive+no-dc", "io-mixed+no-lrw",
        "dig-in+device-emulation", "sensor-sii+device-emulation",
        // Chains: the sensor first, as the pressure link has it.
        "sensor,dig-out,dig-in",
        "dig-out,sensor-sii,big-in",
        "sensor,wide-in,bits-in,io-mixed,drive",
        "sensor+keep-mac,dig-out+keep-mac,io-mixed+keep-mac",
        "sensor+dc32,drive,dig-in+dc32",
        "sensor,io-mixed+no-lrw,dig-out",
        "sensor,dig-out+device-emulation,dig-in+device-emulation",
        "sensor+sii4+stale-reply,drive+mbx512+sdo-segmented+no-pdo-assign,io-mixed+no-sii-pdo+mbx-asym",
    };
    for (const char *bus : buses)
        QTest::newRow(bus) << QString::fromLatin1(bus);
}


// What the slaves mapped, in all: bytes, and slaves with outputs and inputs.
struct MappedTotals {
    uint32_t bytes = 0;
    int withOutputs = 0;
    int withInputs = 0;
};

// Each slave of `c` has the process-data sizes its description gives and is
// in OP; the caller returns when this failed (QTest::currentTestFailed()).
inline void checkSlaveSizes(const ecx_contextt *c, const std::vector<DeviceSizes> &sizes, MappedTotals *totals)
{
    for (size_t i = 0; i < sizes.size(); ++i) {
        const ec_slavet &s = c->slavelist[i + 1];
        const QByteArray who = "slave " + QByteArray::number(qulonglong(i + 1));
        QVERIFY2(s.Ibytes == sizes[i].inputBytes, who + " inputs " + QByteArray::number(s.Ibytes));
        QVERIFY2(s.Obytes == sizes[i].outputBytes, who + " outputs " + QByteArray::number(s.Obytes));
        QVERIFY2(s.state == EC_STATE_OPERATIONAL, who + " state " + QByteArray::number(s.state, 16));
        totals->bytes += s.Ibytes + s.Obytes;
        totals->withOutputs += s.Obytes ? 1 : 0;
        totals->withInputs += s.Ibytes ? 1 : 0;
    }
}

// SOEM's fields of each slave and of group 0 as SOEM means them, after the
// bus of `bus` (a --slaves list) was mapped: the process-data SyncManager of
// each direction typed, enabled and as long as the data, an active FMMU of
// the right kind from the data's logical address over that length, the
// image pointers at their offsets, LRW blocked where the ESC takes none.
inline void checkSoemFields(const ecx_contextt *c, const QString &bus)
{
    const QStringList kinds = bus.split(QLatin1Char(','));
    const ec_groupt &g = c->grouplist[0];
    int withOutputs = 0, withInputs = 0;
    bool anyBlocked = false;
    for (int i = 1; i <= c->slavecount; ++i) {
        const ec_slavet &s = c->slavelist[i];
        const QByteArray who = "slave " + QByteArray::number(i) + " ";
        const bool noLrw = kinds.value(i - 1).contains(QLatin1String("no-lrw"));
        QVERIFY2(bool(s.blockLRW) == noLrw, who + "blockLRW " + QByteArray::number(s.blockLRW));
        anyBlocked = anyBlocked || noLrw;
        for (const bool outputs : {true, false}) {
            const uint32_t bytes = outputs ? s.Obytes : s.Ibytes;
            if (bytes == 0)
                continue;
            (outputs ? withOutputs : withInputs) += 1;
            const uint8_t smType = outputs ? 3 : 4, fmmuType = outputs ? 2 : 1;
            const uint32_t offset = outputs ? s.Ooffset : s.Ioffset;
            const QByteArray what = who + (outputs ? "outputs" : "inputs");
            int sm = 0;
            while (sm < EC_MAXSM && s.SMtype[sm] != smType)
                ++sm;
            QVERIFY2(sm < EC_MAXSM, what + ": no SyncManager of that type");
            QVERIFY2(s.SM[sm].SMlength == bytes, what + ": SM length " + QByteArray::number(s.SM[sm].SMlength));
            QVERIFY2((s.SM[sm].SMflags >> 16) & 0x01, what + ": SM not enabled");
            int f = 0;
            while (f < EC_MAXFMMU && !(s.FMMU[f].FMMUactive && s.FMMU[f].FMMUtype == fmmuType))
                ++f;
            QVERIFY2(f < EC_MAXFMMU, what + ": no active FMMU of that kind");
            QVERIFY2(s.FMMU[f].LogStart == g.logstartaddr + offset && s.FMMU[f].LogLength == bytes,
                     what + ": FMMU at " + QByteArray::number(s.FMMU[f].LogStart) + " over "
                         + QByteArray::number(s.FMMU[f].LogLength));
            QVERIFY2(s.FMMU[f].PhysStart == s.SM[sm].StartAddr, what + ": FMMU not on its SyncManager");
            QVERIFY2((outputs ? s.outputs : s.inputs) == g.outputs + offset, what + ": pointer not at its offset");
        }
    }
    QCOMPARE(int(g.outputsWKC), withOutputs);
    QCOMPARE(int(g.inputsWKC), withInputs);
    QCOMPARE(bool(g.blockLRW), anyBlocked);
}
