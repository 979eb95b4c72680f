// The slaves as the master last knew them, copied out of its context, with
// what the master tells beyond SOEM's interface when it does.
#pragma once

#include "bus_report.h"
#include "master_notes.h"

namespace buscheck {

// Every slave the master found (none when `slaveCount` is 0 or less).
std::vector<SlaveFacts> slaveFacts(const ecx_contextt &bus, const MasterNotes &notes);

} // namespace buscheck
