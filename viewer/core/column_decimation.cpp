#include "column_decimation.h"

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

// One stretch of consecutive points in one column.
struct Stretch
{
    qsizetype first = 0, lowest = 0, highest = 0, last = 0;
    qsizetype firstAtFloor = -1;
};

class StretchWriter
{
public:
    StretchWriter(const QList<QPointF> &points, const DrawRequest &request, DrawPoints &out)
        : m_points(points), m_request(request), m_out(out) {}

    void flush(const Stretch &s)
    {
        qsizetype indices[4] = {s.first, s.lowest, s.highest, s.last};
        std::sort(indices, indices + 4);
        const qsizetype *end = std::unique(indices, indices + 4);
        for (const qsizetype *i = indices; i != end; ++i)
            m_out.line.append(QPointF(m_points[*i].x(), shown(m_points[*i].y())));
        if (s.firstAtFloor >= 0)
            m_out.floorMarks.append(QPointF(m_points[s.firstAtFloor].x(), m_request.floorY));
    }

private:
    double shown(double mbar) const
    {
        if (m_request.logAxis && !(mbar > 0.0))
            return m_request.floorY;
        return mbar * m_request.scale;
    }

    const QList<QPointF> &m_points;
    const DrawRequest &m_request;
    DrawPoints &m_out;
};

} // namespace

bool ascendingX(const QList<QPointF> &points)
{
    return std::adjacent_find(points.cbegin(), points.cend(),
                              [](const QPointF &a, const QPointF &b) { return b.x() < a.x(); })
        == points.cend();
}

DrawPoints pointsToDraw(const QList<QPointF> &points, bool xAscending, const DrawRequest &request)
{
    DrawPoints out;
    qsizetype begin = 0;
    qsizetype end = points.size();
    if (xAscending) {
        const auto byX = [](const QPointF &p, double x) { return p.x() < x; };
        const auto xBy = [](double x, const QPointF &p) { return x < p.x(); };
        begin = std::lower_bound(points.cbegin(), points.cend(), request.x0, byX) - points.cbegin();
        end = std::upper_bound(points.cbegin(), points.cend(), request.x1, xBy) - points.cbegin();
        // One point either side, so that the line runs to the window's edges.
        begin = std::max<qsizetype>(0, begin - 1);
        end = std::min(points.size(), end + 1);
    }
    if (begin >= end)
        return out;

    const int columns = std::max(1, request.columns);
    const double width = request.x1 - request.x0;
    const double perSecond = width > 0.0 ? double(columns) / width : 0.0;
    const auto columnOf = [&](double x) {
        // Left of the window -1, right of it `columns`: each one stretch.
        if (x < request.x0)
            return -1;
        if (x > request.x1)
            return columns;
        return std::min(columns - 1, int(std::floor((x - request.x0) * perSecond)));
    };

    StretchWriter writer(points, request, out);
    Stretch s;
    int column = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const QPointF &p = points[i];
        const int c = columnOf(p.x());
        if (i == begin || c != column) {
            if (i != begin)
                writer.flush(s);
            s = Stretch{i, i, i, i, -1};
            column = c;
        } else {
            s.last = i;
            if (p.y() < points[s.lowest].y())
                s.lowest = i;
            if (p.y() > points[s.highest].y())
                s.highest = i;
        }
        if (!(p.y() > 0.0) && s.firstAtFloor < 0)
            s.firstAtFloor = request.logAxis ? i : -1;
        if (c >= 0 && c < columns)
            out.visible.add(p.y() * request.scale);
    }
    writer.flush(s);
    return out;
}

} // namespace viewer
