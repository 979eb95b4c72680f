// What the bus check concludes from its report: the exit status, the
// problem in one sentence and what to do next.
#pragma once

#include "bus_report.h"

#include <cstddef>

namespace buscheck {

Verdict judge(const BusReport &report);

// For the adapter list: 1 when there is none, 3 when this process may not
// open adapters for raw frames, else 0.
// `listFailure`: why the master could not list the adapters, when it says.
Verdict judgeAdapterList(size_t adapterCount, const RawAccess &access, const QString &listFailure);

} // namespace buscheck
