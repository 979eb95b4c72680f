// Frame-level faults of the simulator: frames lost on the way to the slaves, replies
// corrupted or cut short, and silence (no reply at all, like a pulled cable).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ecsim {

// Small deterministic generator (splitmix64) so that a seed gives the same fault
// sequence on every platform and standard library.
class FaultRandom {
public:
    explicit FaultRandom(uint64_t seed = 1) : state_(seed) {}
    void reseed(uint64_t seed) { state_ = seed; }
    uint64_t next();
    double uniform();                    // [0, 1)
    size_t below(size_t bound);          // [0, bound), bound > 0
    bool chance(double fraction);        // true with probability `fraction`

private:
    uint64_t state_;
};

class FrameFaults {
public:
    // nowNs: monotonic clock in nanoseconds (tests install their own).
    explicit FrameFaults(std::function<uint64_t()> nowNs = {});

    // Setters validate their argument; they return an empty string or the reason for refusal.
    std::string setDrop(double fraction);
    std::string setCorrupt(double fraction);
    std::string setTruncate(double fraction);
    std::string setSilence(double seconds);  // 0 ends the silence
    void seed(uint64_t seed) { random_.reseed(seed); }

    double drop() const { return drop_; }
    double corrupt() const { return corrupt_; }
    double truncate() const { return truncate_; }
    bool silent() const;

    // Called for each received EtherCAT frame before the slaves see it: true when it is lost.
    bool dropIncoming();
    // Called for each reply: may flip bytes in its EtherCAT part (after the Ethernet header)
    // or cut it short. Returns flags of what was done.
    enum Applied : unsigned { None = 0, Corrupted = 1, Truncated = 2 };
    unsigned mangleReply(std::vector<uint8_t> &reply);

private:
    std::function<uint64_t()> now_;
    FaultRandom random_;
    double drop_ = 0.0;
    double corrupt_ = 0.0;
    double truncate_ = 0.0;
    uint64_t silenceUntilNs_ = 0;
};

}  // namespace ecsim
