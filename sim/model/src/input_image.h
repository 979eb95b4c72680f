// The input image a slave presents to the master: the pressure sensor's
// flags byte + float (0.01 mbar), or a plain pattern for the I/O devices,
// with the slave-level faults applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "devices.h"
#include "ecwire/sensor_image.h"
#include "profiles.h"

namespace ecsim {

class InputImage {
public:
    static constexpr uint8_t FlagValid = ecwire::sensor::FlagValid;
    static constexpr uint8_t FlagOver = ecwire::sensor::FlagOver;
    static constexpr uint8_t FlagUnder = ecwire::sensor::FlagUnder;

    InputImage(ImageKind kind, uint16_t size) : kind_(kind), size_(size) {}

    // Writes `size` bytes of the image for time `nowNs`. Each call is one
    // process-data reading (it consumes one of an 'invalid COUNT').
    void produce(uint8_t *dst, uint64_t nowNs);
    uint16_t size() const { return size_; }

    void setProfile(const Profile &p, uint64_t nowNs);
    const Profile &profile() const { return profile_; }
    void setInvalidCount(uint64_t count) { invalidCount_ = count; }
    void setInvalidUntil(uint64_t ns) { invalidUntilNs_ = ns; }
    void setInvalidAlways(bool on) { invalidAlways_ = on; if (!on) { invalidCount_ = 0; invalidUntilNs_ = 0; } }
    void setFlags(uint8_t overUnder) { flags_ = overUnder & (FlagOver | FlagUnder); }
    void setFixed(std::vector<uint8_t> bytes) { fixed_ = std::move(bytes); fixedOn_ = true; }
    void clearFixed() { fixed_.clear(); fixedOn_ = false; }
    uint64_t readings() const { return readings_; }
    std::string describe(uint64_t nowNs) const;

private:
    ImageKind kind_;
    uint16_t size_;
    Profile profile_;
    uint64_t invalidCount_ = 0;
    uint64_t invalidUntilNs_ = 0;
    bool invalidAlways_ = false;
    uint8_t flags_ = 0;
    bool fixedOn_ = false;
    std::vector<uint8_t> fixed_;
    uint64_t readings_ = 0;
};

} // namespace ecsim
