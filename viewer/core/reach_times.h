// When a run first reaches a pressure: the pump-down's times to given levels,
// and how much longer (or shorter) a run took than a reference run.
//
// "First reaches" means: the first record, in file order, whose pressure is
// at or below the level. When the record before it is above the level and
// both pressures are above zero, the time is interpolated between the two
// linearly in the logarithm of the pressure (a pump-down falls about
// exponentially between two readings): t = t0 + (t1 - t0) * ln(p0 / L) /
// ln(p0 / p1). Otherwise (the run's first record, a reading at or below
// zero, or time going back between the two, as where a daily file starts a
// new run) the record's own time counts. Times are the records' elapsed
// seconds, counted from the start of the run.
#pragma once

#include <QList>
#include <QPointF>

namespace viewer {

struct Reach
{
    bool reached = false;
    double seconds = 0.0;   // elapsed time when first at or below the level
};

// `points`: x elapsed seconds, y mbar, in file order; `levelMbar` > 0.
Reach firstReach(const QList<QPointF> &points, double levelMbar);

// reached in both: run minus reference (positive: the run took longer).
bool reachDifference(const Reach &run, const Reach &reference, double *seconds);

} // namespace viewer
