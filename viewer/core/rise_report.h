// A rate-of-rise test's result as a JSON object (the command line prints it,
// the window saves it beside the chart's PNG) and as text to copy.
#pragma once

#include "pressure_units.h"
#include "rate_of_rise.h"

#include <QJsonObject>
#include <QString>

namespace viewer {

// Numbers in mbar, seconds and litres, named with their units; "ok" false
// with "error" when the test could not run.
QJsonObject riseJson(const RiseTest &test, const QString &file);

// A few lines: the verdict, dp/dt in `unit` per second, Q in mbar l/s, the
// thirds' slopes, the file and the span.
QString riseText(const RiseTest &test, const QString &file, PressureUnit unit);

} // namespace viewer
