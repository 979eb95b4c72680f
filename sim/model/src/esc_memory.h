// Register and process memory of one slave controller, with the bytes the
// master may not write (identity, status registers, ...) protected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ecwire/le.h"

namespace ecsim {

class EscMemory {
public:
    explicit EscMemory(size_t size);

    size_t size() const { return mem_.size(); }
    uint8_t *data() { return mem_.data(); }
    const uint8_t *data() const { return mem_.data(); }
    bool inRange(uint32_t address, size_t length) const
    {
        return address <= mem_.size() && length <= mem_.size() - address;
    }

    // Slave-side access (no protection). Callers keep addresses in range.
    uint8_t u8(uint16_t a) const { return mem_[a]; }
    uint16_t u16(uint16_t a) const { return ecwire::getU16(&mem_[a]); }
    uint32_t u32(uint16_t a) const { return ecwire::getU32(&mem_[a]); }
    uint64_t u64(uint16_t a) const { return ecwire::getU64(&mem_[a]); }
    void setU8(uint16_t a, uint8_t v) { mem_[a] = v; }
    void setU16(uint16_t a, uint16_t v) { ecwire::putU16(&mem_[a], v); }
    void setU32(uint16_t a, uint32_t v) { ecwire::putU32(&mem_[a], v); }
    void setU64(uint16_t a, uint64_t v) { ecwire::putU64(&mem_[a], v); }

    // A write by the master: bytes of protected registers keep their value.
    void masterWrite(uint16_t address, const uint8_t *src, size_t length);
    bool writable(uint32_t address) const
    {
        return address >= writable_.size() || writable_[address] != 0;
    }
    // Registers the master may (or may no longer) write, e.g. while the
    // EEPROM interface is busy, or those a device does not implement.
    void setWritable(uint16_t from, uint16_t toExclusive, bool on);

private:
    void allow(uint16_t from, uint16_t toExclusive) { setWritable(from, toExclusive, true); }
    std::vector<uint8_t> mem_;
    std::vector<uint8_t> writable_; // register area only; process RAM is all writable
};

} // namespace ecsim
