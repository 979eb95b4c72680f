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
