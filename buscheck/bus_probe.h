// Brings the bus up through the link exactly as the window's Connect does,
// watching every step, then takes the sensor's readings at the window's
// rhythm. The caller brings the bus down (ecat_disconnect) afterwards.
#pragma once

#include "bus_report.h"

#include <functional>

class StopSignals;

namespace buscheck {

// Called as each step of the connect ends (for a report that shows progress),
// and once more for the step after which the connect stopped, with its
// refusal set.
using StepShown = std::function<void(const StepRecord &)>;

// The adapter's facts before anything is sent: does it exist here, is it up,
// may this process open it.
BusReport startReport(const QByteArray &adapter);

// Connects and takes the readings, adding what happened to `report`.
void probeBus(BusReport &report, StopSignals &stop, const StepShown &shown);

} // namespace buscheck
