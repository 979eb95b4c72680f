// The pressure sensor's input image as it comes off the wire (slave 1's
// inputs): one flag byte, then the raw pressure as a little-endian IEEE-754
// single in units of 0.01 mbar. Bytes after these five are ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace sensor_image {

constexpr std::size_t kFlagsOffset = 0;
constexpr std::size_t kPressureOffset = 1;
constexpr std::size_t kPressureSize = 4;
constexpr std::size_t kSize = kPressureOffset + kPressureSize;  // bytes the link needs

constexpr std::uint8_t kValidBit = 0x01;
constexpr std::uint8_t kOverBit = 0x02;
constexpr std::uint8_t kUnderBit = 0x04;

static_assert(sizeof(float) == kPressureSize, "the raw pressure is a 32-bit float");
static_assert(kSize == 5, "flag byte plus a 4-byte float");

struct Reading {
    float pressure;  // raw, 0.01 mbar, unscaled and unchecked (NaN passes)
    int valid;
    int over;
    int under;
};

inline std::uint32_t readLe32(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16)
           | (std::uint32_t(p[3]) << 24);
}

// Decodes the first kSize bytes at `image`.
inline Reading decode(const std::uint8_t *image)
{
    const std::uint8_t flags = image[kFlagsOffset];
    const std::uint32_t bits = readLe32(image + kPressureOffset);
    Reading r;
    std::memcpy(&r.pressure, &bits, sizeof r.pressure);
    r.valid = (flags & kValidBit) ? 1 : 0;
    r.over = (flags & kOverBit) ? 1 : 0;
    r.under = (flags & kUnderBit) ? 1 : 0;
    return r;
}

}  // namespace sensor_image
