// The buses every master test of device variety runs: each kind the
// simulator offers and each option, alone and in a chain. Shared by the
// in-process and the veth test; the expected sizes come from the devices'
// own descriptions (device_sizes.h).
#pragma once

#include <QtTest>

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

