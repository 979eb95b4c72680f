// The simulator's buses for the fuzz target and its seed program: a clock that
// moves a fixed step with every frame (so the same frames always give the
// same replies, the slaves' own timing included), and the probe's bring-up
// of their slaves to OP with every frame it sent kept.
#pragma once

#include "stepping_clock.h"

#include <ecprobe/bringup.h>
#include <ecsim/bus.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace fuzzsim {

// The buses: the sensor's, and one of the device variety met in the field.
constexpr const char *kBuses[] = {
    "sensor,dig-out,dig-in",
    "io-mixed+mbx-asym+sdo-segmented+stale-reply,bits-in+no-lrw+dc32+sii4,drive+no-sm-category+alt-pdo+keep-mac",
};
constexpr size_t kBusCount = sizeof kBuses / sizeof kBuses[0];
constexpr uint64_t kStartNs = 1'000'000'000;
constexpr uint64_t kStepNs = 100'000; // per frame: an EEPROM read, a fifth of a state change

struct SteppedBus {
    std::unique_ptr<ecsim::Bus> bus;
    std::shared_ptr<uint64_t> now = std::make_shared<uint64_t>(kStartNs);

    explicit SteppedBus(size_t which) : bus(ecsim::Bus::create(kBuses[which % kBusCount]))
    {
        if (bus)
            bus->setClock(fuzzclock::stepping(now, kStepNs));
    }
};

// Frames sent and the bus they were sent to.
struct Recording {
    explicit Recording(size_t which) : target(which) {}
    SteppedBus target;
    std::vector<std::vector<uint8_t>> frames;

    ecprobe::Probe probe()
    {
        std::shared_ptr<uint64_t> t = target.now;
        return ecprobe::Probe(
            [this](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) {
                frames.push_back(f);
                return target.bus->handleFrame(f.data(), f.size(), r);
            },
            ecprobe::Clock{[t] { return *t; }, [](uint64_t) {}}); // time moves with the frames
    }
};

} // namespace fuzzsim
