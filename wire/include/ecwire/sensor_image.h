// The pressure sensor's input image as it travels on the bus (the sensor's
// inputs, byte 0 first): one flag byte, then the raw pressure as a
// little-endian IEEE-754 single in units of 0.01 mbar (1 Pa), starting at
// byte 1 and so not aligned. Bytes after these five are not part of it.
// The master's users decode it; the simulated sensor encodes it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ecwire {
namespace sensor {

constexpr size_t FlagsOffset = 0;     constexpr size_t FlagsSize = 1;
constexpr size_t PressureOffset = 1;  constexpr size_t PressureSize = 4;
constexpr size_t ImageSize = PressureOffset + PressureSize; // bytes a reader needs
static_assert(FlagsOffset + FlagsSize == PressureOffset, "pressure follows the flag byte");
static_assert(ImageSize == 5, "flag byte plus a 4-byte float");

constexpr uint8_t FlagValid = 0x01;
constexpr uint8_t FlagOver = 0x02;
constexpr uint8_t FlagUnder = 0x04;
// Bits 3-7 of the flag byte carry nothing and are ignored.

struct Reading {
    float pressure = 0; // raw, 0.01 mbar, unscaled and unchecked (NaN passes)
    int valid = 0;      // each 0 or 1
    int over = 0;
    int under = 0;
};

// Decodes the first ImageSize bytes at `image`.
Reading decode(const uint8_t *image);
// Writes the ImageSize bytes of a reading: the flag byte (only the three
// flag bits of `flags` are kept) and the raw pressure.
void encode(uint8_t *image, float pressure, uint8_t flags);

} // namespace sensor
} // namespace ecwire
