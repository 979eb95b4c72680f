#pragma once

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

// How far above the largest pressure the y axis ends, live and for a loaded run.
constexpr double kYHeadroom = 50.0;

// The live chart's step of a logged display tick: append (sampleIndex, mbar)
// to the series and increment sampleIndex; once past 60 points scroll the x
// range to the last 60, and raise the y maximum to mbar + 50 when mbar
// exceeds it (NaN never does; the series itself drops a NaN point).
void appendLivePoint(QLineSeries *series, QValueAxis *axisX, QValueAxis *axisY, int &sampleIndex,
                     double mbar);
