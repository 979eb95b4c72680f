// How the frame-driven targets' inputs and seeds hold frames and lines: as
// chunks, each a 2-byte little-endian head (the length, and in the high bits
// what a target makes of them) and that many bytes; the input's end may cut
// the last chunk short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzchunks {

struct Chunk {
    uint16_t head = 0;          // 0 when fewer than two bytes were left
    std::vector<uint8_t> bytes; // a copy of exactly the chunk's size
};

// The chunk at `pos`, whose length is head & lengthMask; `pos` moves past
// it. With fewer than two bytes left, those bytes are the chunk.
inline Chunk take(const uint8_t *data, size_t size, size_t &pos, uint16_t lengthMask = 0xFFFF)
{
    Chunk c;
    size_t n = size - pos;
    if (n >= 2) {
        c.head = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        n = (c.head & lengthMask) < size - pos ? (c.head & lengthMask) : size - pos;
    }
    c.bytes.assign(data + pos, data + pos + n);
    pos += n;
    return c;
}

// Appends `bytes` as one chunk; `flags` go into the head's high bits.
inline void append(std::vector<uint8_t> &out, const std::vector<uint8_t> &bytes, uint16_t flags = 0)
{
    const uint16_t head = static_cast<uint16_t>(bytes.size() | flags);
    out.push_back(static_cast<uint8_t>(head));
    out.push_back(static_cast<uint8_t>(head >> 8));
    out.insert(out.end(), bytes.begin(), bytes.end());
}

} // namespace fuzzchunks
