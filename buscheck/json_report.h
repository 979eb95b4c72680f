// The same reports as one JSON object each, for scripts and tickets.
#pragma once

#include "adapter_list.h"
#include "bus_report.h"

#include <QJsonObject>

namespace buscheck {

QJsonObject adapterListJson(const std::vector<AdapterEntry> &adapters, const RawAccess &access, const Verdict &verdict);
QJsonObject busReportJson(const BusReport &report, const Verdict &verdict);

} // namespace buscheck
