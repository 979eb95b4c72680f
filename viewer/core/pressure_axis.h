// The pressure axis: whether readings call for a logarithmic axis, and the
// range and decade ticks of a logarithmic or linear one. All values in the
// unit shown.
#pragma once

#include <QList>
#include <QtGlobal>

#include <limits>

namespace viewer {

// What a set of readings spans.
struct PressureSpan
{
    double minPositive = std::numeric_limits<double>::infinity();
    double min = std::numeric_limits<double>::infinity();
    double max = -std::numeric_limits<double>::infinity();
    qsizetype count = 0;
    qsizetype atOrBelowZero = 0;   // readings a logarithmic axis cannot place

    void add(double value)
    {
        ++count;
        min = value < min ? value : min;
        max = value > max ? value : max;
        if (value > 0.0)
            minPositive = value < minPositive ? value : minPositive;
        else
            ++atOrBelowZero;
    }
    void add(const PressureSpan &other);
    bool hasPositive() const { return minPositive <= max && max > 0.0; }
};

// More than two decades between the lowest positive reading and the highest:
// the default for drawing on a logarithmic axis.
bool spansMoreThanTwoDecades(const PressureSpan &span);

struct AxisRange
{
    double min = 0.0;
    double max = 1.0;
};

// From the decade at or below the lowest positive reading to the decade at or
// above the highest (one decade more on top when both are the same); 1 to
// 1000 without a positive reading. Readings at or below zero are drawn at its
// bottom.
AxisRange logAxisRange(const PressureSpan &span);
// The decades inside the range, ends included: the logarithmic axis's ticks.
QList<double> decadeTicks(const AxisRange &range);
// From 0 (or the lowest reading, when below 0) to 5% above the highest.
AxisRange linearAxisRange(const PressureSpan &span);

} // namespace viewer
