// The buses every master test of device variety runs: each kind the
// simulator offers and each option, alone and in a chain. Shared by the
// in-process and the veth test; the expected sizes come from the devices'
// own descriptions (device_sizes.h).
#ifndef TESTS_MASTER_DEVICE_KINDS_H
#define TESTS_MASTER_DEVICE_KINDS_H

#include <QtTest>

inline void addDeviceKindRows()
{
    QTest::addColumn<QString>("bus");
    const char *const buses[] = {
        "sensor",
        "sensor-sii",
        "dig-out",
        "dig-in",
        "sensor,dig-out,dig-in",
        "dig-out,sensor-sii,big-in",
    };
    for (const char *bus : buses)
        QTest::newRow(bus) << QString::fromLatin1(bus);
}

#endif
