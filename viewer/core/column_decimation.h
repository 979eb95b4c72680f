// Drawing a long run: the points of the visible time window reduced to at
// most four per pixel column. Of each stretch of consecutive points (in file
// order) that fall into one column it keeps the first, the lowest, the
// highest and the last, in file order, so every peak and dip stays where it
// is and the line looks as it would with every point drawn. Only what is
// drawn is reduced: the analyses take every point.
#pragma once

#include "pressure_axis.h"

#include <QList>
#include <QPointF>

namespace viewer {

struct DrawRequest
{
    double x0 = 0.0;          // the visible time window (elapsed seconds)
    double x1 = 1.0;
    int columns = 1000;       // pixel columns across it
    double scale = 1.0;       // mbar to the unit shown
    bool logAxis = false;
    double floorY = 1.0;      // on a logarithmic axis: where readings <= 0 go
};

struct DrawPoints
{
    QList<QPointF> line;        // in the unit shown
    QList<QPointF> floorMarks;  // logarithmic axis: one per stretch holding readings <= 0, at floorY
    PressureSpan visible;       // the readings inside the window, in the unit shown
};

// Whether x never decreases (a run file; a daily file restarts its time at
// each run): then only the window and one point either side are looked at.
bool ascendingX(const QList<QPointF> &points);

DrawPoints pointsToDraw(const QList<QPointF> &points, bool xAscending, const DrawRequest &request);

} // namespace viewer
