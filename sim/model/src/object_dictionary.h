// The CoE object dictionary of a simulated slave, built from its device
// description: identity, SyncManager types, PDO assignment and mapping.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "devices.h"

namespace ecsim {

class ObjectDictionary {
public:
    struct Object {
        bool structured = false;                 // record/array: sub 0 holds the count
        std::vector<std::vector<uint8_t>> subs;  // value of each subindex
    };

    explicit ObjectDictionary(const DeviceDescription &device);
    const Object *find(uint16_t index) const;
    // Complete-access image from `subindex` (0 or 1) on; sub 0 takes 2 bytes (padded).
    std::vector<uint8_t> completeImage(const Object &o, uint8_t subindex) const;

private:
    std::map<uint16_t, Object> objects_;
};

} // namespace ecsim
