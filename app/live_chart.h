#pragma once

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QLineSeries;
class QValueAxis;
QT_END_NAMESPACE

// The live chart's step of a logged display tick: append (sampleIndex, mbar)
// to the series and increment sampleIndex; once past chart_axes::kXSpan points
// scroll the x range to the last kXSpan, and raise the y maximum to
// mbar + kYHeadroom when mbar exceeds it (NaN never does; the series itself
// drops a NaN point).
void appendLivePoint(QLineSeries *series, QValueAxis *axisX, QValueAxis *axisY, int &sampleIndex,
                     double mbar);
