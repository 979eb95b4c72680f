#include "reach_times.h"

#include <cmath>

namespace viewer {

Reach firstReach(const QList<QPointF> &points, double levelMbar)
{
    for (qsizetype i = 0; i < points.size(); ++i) {
        const QPointF &here = points[i];
        if (!(here.y() <= levelMbar))
            continue;
        Reach reach{true, here.x()};
        if (i == 0)
            return reach;
        const QPointF &before = points[i - 1];
        if (here.y() > 0.0 && before.x() <= here.x()) {
            // before.y() > levelMbar >= here.y() > 0: both logarithms exist,
            // and the fraction lies in (0, 1].
            const double fraction = std::log(before.y() / levelMbar) / std::log(before.y() / here.y());
            reach.seconds = before.x() + (here.x() - before.x()) * fraction;
        }
        return reach;
    }
    return Reach{};
}

bool reachDifference(const Reach &run, const Reach &reference, double *seconds)
{
    if (!run.reached || !reference.reached)
        return false;
    *seconds = run.seconds - reference.seconds;
    return true;
}

} // namespace viewer
