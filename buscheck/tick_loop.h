// The window's rhythm without the window: a callback every 10 ms from a
// local event loop, until it asks to end or a stop signal arrives.
#pragma once

#include <functional>

class StopSignals;

namespace buscheck {

// Calls `tick` every tick_counter::kTickMs until it returns false. Returns
// the stop signal that ended the loop, or 0. Returns at once when a stop
// signal was already received.
int runTicks(StopSignals &stop, const std::function<bool()> &tick);

} // namespace buscheck
