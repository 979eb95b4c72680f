// The viewer's chart: runs over elapsed time on a logarithmic or linear
// pressure axis, in the unit chosen. Each run is drawn from its points
// reduced to the pixel columns of the time window shown (column_decimation.h),
// so a run of a million records pans and zooms as fast as a short one.
// Readings at or below zero stay where they are in time: on a logarithmic
// axis the line goes down to the axis's floor and a marker series (named with
// their count in the legend) shows each of them there.
//
// Mouse: the wheel zooms time around the pointer, a drag zooms to the time
// dragged over, a drag with the middle button or with Shift held pans; while
// picking a span a drag (or two clicks) marks the rate-of-rise span instead.
// Keys: + and - zoom, the arrows pan, Home shows every run whole.
#pragma once

#include "pressure_axis.h"
#include "pressure_units.h"
#include "rate_of_rise.h"

#include <QChartView>
#include <QList>
#include <QPointer>
#include <QTimer>

#include <optional>
#include <vector>

QT_BEGIN_NAMESPACE
class QAbstractAxis;
class QGraphicsRectItem;
class QLineSeries;
class QLogValueAxis;
class QRubberBand;
class QScatterSeries;
class QValueAxis;
QT_END_NAMESPACE

namespace viewer {

class FollowedRun;

enum class AxisChoice { Automatic, Logarithmic, Linear };

class PressureChart : public QChartView
{
    Q_OBJECT

public:
    explicit PressureChart(QWidget *parent = nullptr);

    // Draws `run` (which outlives the chart's use of it) under `label`; a
    // reference run is drawn dashed in grey.
    void addRun(FollowedRun *run, const QString &label, bool reference);

    void setUnit(PressureUnit unit);
    PressureUnit unit() const { return m_unit; }
    void setAxisChoice(AxisChoice choice);
    AxisChoice axisChoice() const { return m_choice; }
    // Whether the pressure axis is logarithmic now.
    bool logarithmic() const { return m_log; }

    // The time window shown; showWhole() goes back to every run whole, and
    // the window then grows with followed runs.
    void setTimeWindow(double from, double to);
    void showWhole();
    double windowStart() const { return m_x0; }
    double windowEnd() const { return m_x1; }

    // The rate-of-rise span and the line fitted over it.
    void setSpan(double from, double to);
    void clearSpan();
    void setFit(const RiseTest &test);
    void clearFit();
    void setPickingSpan(bool on);

    QValueAxis *timeAxis() const { return m_timeAxis; }
    QAbstractAxis *pressureAxis() const { return m_pressureAxis; }
    // Points handed to the line series at the last redraw, over all runs.
    qsizetype drawnPoints() const { return m_drawnPoints; }
    // Redraws at once (it otherwise happens once the event loop runs).
    void redrawNow();

signals:
    void spanPicked(double from, double to);
    void timeWindowChanged(double from, double to);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Trace
    {
        QPointer<FollowedRun> run;
        QString label;
        bool reference = false;
        QLineSeries *line = nullptr;
        QScatterSeries *floor = nullptr;
    };

    void scheduleRedraw();
    void runGrew();
    void dataExtent(double *first, double *last) const;
    bool wantLog() const;
    void usePressureAxis(bool log);
    void placeSpan();
    void drawFit();
    double timeAt(const QPoint &viewPos) const;
    void zoomBy(double factor, double around);
    void panBy(double seconds);

    std::vector<Trace> m_traces;
    QValueAxis *m_timeAxis = nullptr;
    QAbstractAxis *m_pressureAxis = nullptr;   // one of the two below
    QLogValueAxis *m_logAxis = nullptr;
    QValueAxis *m_linearAxis = nullptr;
    AxisRange m_pressureRange;
    bool m_log = false;
    PressureUnit m_unit = PressureUnit::Mbar;
    AxisChoice m_choice = AxisChoice::Automatic;
    bool m_whole = true;
    double m_x0 = 0.0;
    double m_x1 = 60.0;
    double m_dataEnd = 0.0;
    qsizetype m_drawnPoints = 0;
    QTimer m_redraw;

    QLineSeries *m_fitLine = nullptr;
    std::optional<RiseTest> m_fit;
    QGraphicsRectItem *m_spanItem = nullptr;
    std::optional<std::pair<double, double>> m_span;

    enum class Drag { None, Zoom, Pan, Span };
    Drag m_drag = Drag::None;
    QPoint m_pressPos;
    double m_pressTime = 0.0;
    bool m_picking = false;
    std::optional<double> m_firstClick;
    QRubberBand *m_band = nullptr;
};

} // namespace viewer
