// Little-endian field access on raw byte buffers. Every multi-byte field on the
// bus is little-endian; values are assembled byte by byte so the code does not
// depend on host byte order or alignment.
#pragma once

#include <cstdint>
#include <cstring>

namespace ecwire {

inline uint8_t getU8(const uint8_t *p) { return p[0]; }
inline void putU8(uint8_t *p, uint8_t v) { p[0] = v; }

inline uint16_t getU16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline void putU16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline uint32_t getU32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
        | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline void putU32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

inline uint64_t getU64(const uint8_t *p)
{
    return static_cast<uint64_t>(getU32(p)) | (static_cast<uint64_t>(getU32(p + 4)) << 32);
}
inline void putU64(uint8_t *p, uint64_t v)
{
    putU32(p, static_cast<uint32_t>(v));
    putU32(p + 4, static_cast<uint32_t>(v >> 32));
}

// IEEE-754 single precision, little-endian on the wire.
inline float getF32(const uint8_t *p)
{
    const uint32_t bits = getU32(p);
    float f;
    static_assert(sizeof f == sizeof bits, "float must be 32 bits");
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline void putF32(uint8_t *p, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    putU32(p, bits);
}

// Big-endian 16-bit, used only for the EtherType.
inline uint16_t getU16Be(const uint8_t *p)
{
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline void putU16Be(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

} // namespace ecwire
