// The master built for Windows against the slave model in-process, through
// the test transport the Linux tests use (tests/ethercat): bring-up to OP,
// process data, and the sensor's reading as the link decodes it.
#include "harness.h"

#include "master_fixture.h"

#include <ecwire/sensor_image.h>

WT_CASE("core", sensorReachesOpAndExchangesProcessData)
{
    MasterOnSim m("sensor,dig-out");
    REQUIRE(m.sim.ok());
    CHECK_EQ(m.bringUp(), 6); // one output byte of dig-out, the sensor's five input bytes
    CHECK_EQ(m.c()->slavecount, 2);
    CHECK_EQ(m.slave(1).Ibytes, 5u);
    CHECK_EQ(m.slave(1).state, uint16_t(EC_STATE_OPERATIONAL));
    CHECK_EQ(ecx_readstate(m.c()), EC_STATE_OPERATIONAL);
    // One LRW: the sensor's read counts 1, dig-out's write 2.
    CHECK_EQ(m.expectedWkc(), 3);
    CHECK_EQ(m.exchange(), 3);
}

WT_CASE("core", pressureReadThroughTheBus)
{
    MasterOnSim m("sensor");
    REQUIRE(m.bringUp() == 5);
    REQUIRE(m.sim.command("pressure 1013.25") == "ok");
    REQUIRE(m.exchange() == 1);
    const ecwire::sensor::Reading r = ecwire::sensor::decode(m.slave(1).inputs);
    CHECK_EQ(r.pressure, 101325.0f); // 0.01 mbar units
    CHECK_EQ(r.valid, 1);
    CHECK_EQ(r.over, 0);
    CHECK_EQ(r.under, 0);
}

WT_CASE("core", sensorImageDecodes)
{
    // Flag byte, then the IEEE-754 single little-endian from byte 1:
    // 0x47C5E680 is 101325.0; flags valid and under, bit 3 ignored.
    const uint8_t image[] = {0x0D, 0x80, 0xE6, 0xC5, 0x47};
    const ecwire::sensor::Reading r = ecwire::sensor::decode(image);
    CHECK_EQ(r.pressure, 101325.0f);
    CHECK_EQ(r.valid, 1);
    CHECK_EQ(r.over, 0);
    CHECK_EQ(r.under, 1);
    uint8_t back[ecwire::sensor::ImageSize] = {};
    ecwire::sensor::encode(back, 101325.0f, 0x0D);
    CHECK_EQ(int(back[0]), 0x05);
    CHECK(std::equal(back + 1, back + 5, image + 1));
}
