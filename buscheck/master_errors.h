// The master's error list in the report's terms.
#pragma once

#include "bus_report.h"

#include <connect_steps.h>

namespace buscheck {

MasterError masterError(const ecat::MasterError &e);

} // namespace buscheck
