// A clock for the slave model that moves a fixed step with every reading, so
// that the same frames always give the same replies (profiles, busy flags,
// the slaves' own timing and distributed-clock times included).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace fuzzclock {

// Reads and moves `now`, which the caller may share (a probe that waits on
// the same time, say).
inline std::function<uint64_t()> stepping(std::shared_ptr<uint64_t> now, uint64_t stepNs)
{
    return [now, stepNs] { return *now += stepNs; };
}

inline std::function<uint64_t()> stepping(uint64_t stepNs = 1000)
{
    return stepping(std::make_shared<uint64_t>(1'000'000'000), stepNs);
}

} // namespace fuzzclock
