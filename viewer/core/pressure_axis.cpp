#include "pressure_axis.h"

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

// log10 of a decade may come out a hair off the whole number.
constexpr double kDecadeSlack = 1e-9;
// Decades a double holds as a normal number (a denormal reading would give
// an axis starting at 0).
constexpr double kLowestDecade = -300.0;
constexpr double kHighestDecade = 300.0;

} // namespace

void PressureSpan::add(const PressureSpan &other)
{
    count += other.count;
    atOrBelowZero += other.atOrBelowZero;
    min = other.min < min ? other.min : min;
    max = other.max > max ? other.max : max;
    minPositive = other.minPositive < minPositive ? other.minPositive : minPositive;
}

bool spansMoreThanTwoDecades(const PressureSpan &span)
{
    return span.hasPositive() && span.max / span.minPositive > 100.0;
}

AxisRange logAxisRange(const PressureSpan &span)
{
    if (!span.hasPositive())
        return {1.0, 1000.0};
    double low = std::max(kLowestDecade, std::floor(std::log10(span.minPositive) + kDecadeSlack));
    double high = std::min(kHighestDecade, std::ceil(std::log10(span.max) - kDecadeSlack));
    if (high <= low) {
        low = std::min(low, kHighestDecade - 1.0);
        high = low + 1.0;
    }
    return {std::pow(10.0, low), std::pow(10.0, high)};
}

QList<double> decadeTicks(const AxisRange &range)
{
    QList<double> ticks;
    if (!(range.min > 0.0) || !(range.max >= range.min))
        return ticks;
    const int first = int(std::ceil(std::log10(range.min) - kDecadeSlack));
    const int last = int(std::floor(std::log10(range.max) + kDecadeSlack));
    for (int k = first; k <= last; ++k)
        ticks.append(std::pow(10.0, k));
    return ticks;
}

AxisRange linearAxisRange(const PressureSpan &span)
{
    if (span.count == 0)
        return {0.0, 1.0};
    const double low = std::min(0.0, span.min);
    double high = span.max > 0.0 ? span.max * 1.05 : 0.0;
    if (high <= low)
        high = low + 1.0;
    return {low, high};
}

} // namespace viewer
