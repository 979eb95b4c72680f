// The report for a person at a terminal: the connect's steps as they
// happen, then the slaves, the sensor, the readings and the verdict, whose
// last line on a failure says what to do next.
#pragma once

#include "adapter_list.h"
#include "bus_report.h"

#include <QTextStream>

namespace buscheck {

void printAdapterList(QTextStream &out, const std::vector<AdapterEntry> &adapters, const RawAccess &access);
void printAdapterHeader(QTextStream &out, const BusReport &report);
void printStep(QTextStream &out, const StepRecord &step);
void printBusDetails(QTextStream &out, const BusReport &report);
void printBroughtDown(QTextStream &out);
void printVerdict(QTextStream &out, const Verdict &verdict);

// "Next: ..." on its own, the line a failure ends with.
QString nextLine(const Verdict &verdict);

} // namespace buscheck
