// Qt Charts rebuilds its copy of a series over every point on each change of
// the points and again on each change of an axis range: for the OpenGL
// drawing it refills the whole vertex array, for the default drawing it maps
// every point to the plot. With a long run that is most of a display tick's
// cost, twice over when the point and the x range change in the same tick.
// When a range is about to change anyway, the point goes in without telling
// the chart, and the range change then rebuilds the chart's copy once, new
// point included. When no range changes, the chart hears of the point as
// usual. The series gets exactly the same points either way.
#include "live_chart.h"

#include "chart_axes.h"

#include <QLineSeries>
#include <QSignalBlocker>
#include <QValueAxis>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

using chart_axes::kXSpan;
using chart_axes::kYHeadroom;

// Whether the axis and the chart will certainly see a change from a to b.
// Qt compares ranges exactly or fuzzily (to about 1e-12 relative) depending
// on the version; a difference this large is a change under either. A near
// tie counts as no change, and then the point is announced as usual.
bool clearlyDiffers(double a, double b)
{
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) > 1e-6 * scale;
}

bool rangeChanges(const QValueAxis *axis, double min, double max)
{
    return clearlyDiffers(axis->min(), min) || clearlyDiffers(axis->max(), max);
}

}  // namespace

void appendLivePoint(QLineSeries *series, QValueAxis *axisX, QValueAxis *axisY, int &sampleIndex,
                     double mbar)
{
    // A loaded run can leave sampleIndex at INT_MAX; later points stay there.
    const int next = sampleIndex < INT_MAX ? sampleIndex + 1 : INT_MAX;
    const bool scroll = next > kXSpan;
    const bool xChanges = scroll && rangeChanges(axisX, next - kXSpan, next);
    const bool raise = mbar > axisY->max();
    const bool yChanges = raise && clearlyDiffers(axisY->max(), mbar + kYHeadroom);

    if (xChanges || yChanges) {
        const QSignalBlocker quiet(series);
        series->append(double(sampleIndex), mbar);
    } else {
        series->append(double(sampleIndex), mbar);
    }
    sampleIndex = next;

    if (scroll)
        axisX->setRange(next - kXSpan, next);
    if (raise)
        axisY->setMax(mbar + kYHeadroom);
}
