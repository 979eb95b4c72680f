// The master brought up on the in-process slave model the way every fuzz
// target and seed program starts: the model on the stepping clock, so that
// the same frames always give the same replies, and a receive with nothing
// queued failing at once instead of waiting out its timeout.
#pragma once

#include "master_fixture.h"
#include "stepping_clock.h"

namespace fuzzbus {

// The model's replies come within the frame; the waits only bound a bus
// that never gets there.
constexpr int kBringUpWaitUs = 50000;

// Returns MasterOnSim::bringUp()'s result; with `keepLog` the frames and
// replies stay in m.sim.log (what the seed programs save).
inline int steppedBringUp(MasterOnSim &m, bool keepLog)
{
    m.sim.bus().setClock(fuzzclock::stepping());
    m.sim.failWhenNothingQueued = true;
    m.sim.keepLog = keepLog;
    return m.bringUp(kBringUpWaitUs, kBringUpWaitUs);
}

} // namespace fuzzbus
