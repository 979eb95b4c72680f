// --watch: after the report, the window's tick without the window. Every
// 10 ms the link's health is checked and one process-data exchange is made,
// in the window's order; once a second one line shows the reading and the
// health. Runs until a stop signal (Ctrl-C).
#pragma once

#include "bus_report.h"

#include <QTextStream>

class StopSignals;

namespace buscheck {

// Returns the verdict of the last second shown (a working sensor in OP or
// not); the caller brings the bus down.
Verdict watchBus(QTextStream &out, StopSignals &stop);

} // namespace buscheck
