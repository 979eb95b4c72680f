// The slaves as the master last knew them, copied out of its context.
#pragma once

#include "bus_report.h"

namespace buscheck {

// Every slave the master found (none when `slaveCount` is 0 or less).
std::vector<SlaveFacts> slaveFacts(const ecx_contextt &bus);

} // namespace buscheck
