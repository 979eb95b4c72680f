#include "pressure_chart.h"

#include "column_decimation.h"
#include "followed_run.h"

#include <QChart>
#include <QGraphicsRectItem>
#include <QKeyEvent>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScatterSeries>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace viewer {

namespace {

constexpr double kZoomStep = 1.25;      // one wheel notch or key press
constexpr double kPanStep = 0.1;        // of the window, per arrow key
constexpr int kFitSamples = 64;         // the fitted line is straight in p, not in log p
constexpr int kDragPixels = 4;          // less is a click
constexpr double kSecondsWithoutData = 60.0;
constexpr double kDecadeNudge = 1e-9;

const QColor kRunColors[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
                             QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2)};
const QColor kReferenceColor(0x80, 0x80, 0x80);
const QColor kFloorColor(0xff, 0x7f, 0x0e);
const QColor kSpanColor(0xff, 0xd7, 0x00, 0x50);
const QColor kFitColor(0xb0, 0x00, 0x00);

// 1, 2 or 5 times a power of ten, for about `ticks` ticks over `span`.
double niceInterval(double span, int ticks)
{
    const double raw = span / ticks;
    if (!(raw > 0.0) || !std::isfinite(raw))
        return 1.0;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double step : {1.0, 2.0, 5.0}) {
        if (step * decade >= raw)
            return step * decade;
    }
    return 10.0 * decade;
}

PressureSpan scaled(const PressureSpan &span, double scale)
{
    PressureSpan s = span;
    s.min *= scale;
    s.max *= scale;
    s.minPositive *= scale;
    return s;
}

void showInLegend(QChart *chart, QAbstractSeries *series, bool visible)
{
    for (QLegendMarker *marker : chart->legend()->markers(series))
        marker->setVisible(visible);
}

} // namespace

// The chart is handed to the view as it is made: a view made without one
// makes a chart of its own, which setChart() would let go of, not delete.
PressureChart::PressureChart(QWidget *parent) : QChartView(new QChart, parent)
{
    QChart *c = chart();
    c->legend()->setAlignment(Qt::AlignBottom);
    c->setMargins(QMargins(6, 6, 6, 6));
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::NoRubberBand);
    setFocusPolicy(Qt::StrongFocus);

    m_timeAxis = new QValueAxis;
    m_timeAxis->setTitleText(tr("elapsed time (s)"));
    m_timeAxis->setLabelFormat(QStringLiteral("%g"));
    m_timeAxis->setRange(m_x0, m_x1);
    m_timeAxis->setTickInterval(niceInterval(m_x1 - m_x0, 8));
    m_timeAxis->setTickAnchor(0.0);
    m_timeAxis->setTickType(QValueAxis::TicksDynamic);
    c->addAxis(m_timeAxis, Qt::AlignBottom);

    m_fitLine = new QLineSeries;
    QPen fitPen(kFitColor);
    fitPen.setWidthF(2.0);
    fitPen.setStyle(Qt::DashLine);
    m_fitLine->setPen(fitPen);
    c->addSeries(m_fitLine);
    m_fitLine->attachAxis(m_timeAxis);
    showInLegend(c, m_fitLine, false);

    m_spanItem = new QGraphicsRectItem(c);
    m_spanItem->setBrush(kSpanColor);
    m_spanItem->setPen(Qt::NoPen);
    m_spanItem->hide();

    m_logAxis = new QLogValueAxis;
    m_logAxis->setBase(10.0);
    m_logAxis->setLabelFormat(QStringLiteral("%g"));
    m_logAxis->setMinorTickCount(-1);
    // Solid and light: dashed lines cost much of a frame's drawing.
    m_logAxis->setMinorGridLinePen(QPen(QColor(0xee, 0xee, 0xee), 1.0));
    m_linearAxis = new QValueAxis;
    m_linearAxis->setLabelFormat(QStringLiteral("%g"));
    for (QAbstractAxis *axis : {static_cast<QAbstractAxis *>(m_logAxis), static_cast<QAbstractAxis *>(m_linearAxis)}) {
        axis->setTitleText(tr("pressure (%1)").arg(unitName(m_unit)));
        axis->hide();
        c->addAxis(axis, Qt::AlignLeft);
    }

    m_band = new QRubberBand(QRubberBand::Rectangle, viewport());
    m_redraw.setSingleShot(true);
    m_redraw.setInterval(0);
    connect(&m_redraw, &QTimer::timeout, this, &PressureChart::redrawNow);
    connect(c, &QChart::plotAreaChanged, this, [this] {
        placeSpan();
        scheduleRedraw();
    });
    usePressureAxis(false);
}

void PressureChart::addRun(FollowedRun *run, const QString &label, bool reference)
{
    Trace t;
    t.run = run;
    t.label = label;
    t.reference = reference;
    t.line = new QLineSeries;
    t.line->setName(reference ? tr("reference: %1").arg(label) : label);
    const int runs = int(std::count_if(m_traces.cbegin(), m_traces.cend(), [](const Trace &x) { return !x.reference; }));
    QPen pen(reference ? kReferenceColor : kRunColors[runs % std::size(kRunColors)]);
    pen.setWidthF(reference ? 2.0 : 1.5);
    if (reference)
        pen.setStyle(Qt::DashLine);
    t.line->setPen(pen);
    t.floor = new QScatterSeries;
    t.floor->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
    t.floor->setMarkerSize(9.0);
    t.floor->setColor(kFloorColor);
    t.floor->setBorderColor(kFloorColor.darker());

    QChart *c = chart();
    // The fit stays on top: it goes in again after the run.
    c->removeSeries(m_fitLine);
    for (QAbstractSeries *s : {static_cast<QAbstractSeries *>(t.line), static_cast<QAbstractSeries *>(t.floor),
                               static_cast<QAbstractSeries *>(m_fitLine)}) {
        c->addSeries(s);
        s->attachAxis(m_timeAxis);
        s->attachAxis(m_pressureAxis);
    }
    showInLegend(c, m_fitLine, m_fit.has_value() && m_fit->ran);
    showInLegend(c, t.floor, false);
    connect(run, &FollowedRun::appended, this, &PressureChart::runGrew);
    connect(run, &FollowedRun::reloaded, this, &PressureChart::runGrew);
    m_traces.push_back(t);
    runGrew();
}

void PressureChart::setUnit(PressureUnit unit)
{
    m_unit = unit;
    m_logAxis->setTitleText(tr("pressure (%1)").arg(unitName(m_unit)));
    m_linearAxis->setTitleText(tr("pressure (%1)").arg(unitName(m_unit)));
    scheduleRedraw();
}

void PressureChart::setAxisChoice(AxisChoice choice)
{
    m_choice = choice;
    scheduleRedraw();
}

void PressureChart::setTimeWindow(double from, double to)
{
    if (!(to > from) || !std::isfinite(to - from))
        return;
    m_whole = false;
    m_x0 = from;
    m_x1 = to;
    scheduleRedraw();
}

void PressureChart::showWhole()
{
    m_whole = true;
    runGrew();
}

void PressureChart::dataExtent(double *first, double *last) const
{
    bool any = false;
    for (const Trace &t : m_traces) {
        if (!t.run || t.run->points().isEmpty())
            continue;
        *first = any ? std::min(*first, t.run->firstX()) : t.run->firstX();
        *last = any ? std::max(*last, t.run->lastX()) : t.run->lastX();
        any = true;
    }
    if (!any) {
        *first = 0.0;
        *last = kSecondsWithoutData;
    }
}

// New points (or a run read again): the whole view takes them in; a window
// that showed the end moves along with it; any other stays where it is.
void PressureChart::runGrew()
{
    double first = 0.0, last = 0.0;
    dataExtent(&first, &last);
    if (m_whole) {
        m_x0 = std::min(0.0, first);
        m_x1 = last > m_x0 ? last : m_x0 + kSecondsWithoutData;
        if (!std::isfinite(m_x1 - m_x0))   // times of both signs near the largest double
            m_x0 = m_x1 - std::numeric_limits<double>::max();
    } else if (m_x1 >= m_dataEnd && last > m_dataEnd) {
        const double width = m_x1 - m_x0;
        m_x1 = last;
        m_x0 = last - width;
    }
    m_dataEnd = last;
    scheduleRedraw();
}

bool PressureChart::wantLog() const
{
    if (m_choice != AxisChoice::Automatic)
        return m_choice == AxisChoice::Logarithmic;
    PressureSpan all;
    for (const Trace &t : m_traces) {
        if (t.run)
            all.add(t.run->span());
    }
    return spansMoreThanTwoDecades(all);
}

// Both pressure axes stay in the chart, the one not in use hidden: a
// removed axis leaves its drawing to a deferred delete, which a run without
// an event loop (the command line's export) would never carry out.
void PressureChart::usePressureAxis(bool log)
{
    QAbstractAxis *axis = log ? static_cast<QAbstractAxis *>(m_logAxis) : m_linearAxis;
    // A logarithmic axis draws no series that holds a value <= 0: empty
    // them first; the redraw fills them for the new axis.
    QList<QAbstractSeries *> series{m_fitLine};
    for (const Trace &t : m_traces) {
        t.line->clear();
        t.floor->clear();
        series << t.line << t.floor;
    }
    m_fitLine->clear();
    if (m_pressureAxis) {
        for (QAbstractSeries *s : series)
            s->detachAxis(m_pressureAxis);
        m_pressureAxis->hide();
    }
    for (QAbstractSeries *s : series)
        s->attachAxis(axis);
    axis->show();
    m_pressureAxis = axis;
    m_log = log;
}

void PressureChart::scheduleRedraw()
{
    if (!m_redraw.isActive())
        m_redraw.start();
}

void PressureChart::redrawNow()
{
    m_redraw.stop();
    const bool log = wantLog();
    if (log != m_log)
        usePressureAxis(log);
    const double scale = unitsPerMbar(m_unit);
    int columns = int(chart()->plotArea().width());
    if (columns < 16)
        columns = std::max(400, width());
    DrawRequest request;
    request.x0 = m_x0;
    request.x1 = m_x1;
    request.columns = columns;
    request.scale = scale;
    request.logAxis = m_log;
    request.floorY = 0.0;   // placed once the axis's range is known

    std::vector<DrawPoints> drawn;
    drawn.reserve(m_traces.size());
    PressureSpan visible, whole;
    for (const Trace &t : m_traces) {
        if (!t.run) {
            drawn.emplace_back();
            continue;
        }
        drawn.push_back(pointsToDraw(t.run->points(), t.run->xAscending(), request));
        visible.add(drawn.back().visible);
        whole.add(scaled(t.run->span(), scale));
    }
    const PressureSpan &basis = visible.count > 0 ? visible : whole;
    m_pressureRange = m_log ? logAxisRange(basis) : linearAxisRange(basis);

    // Every change of an axis draws each series again: empty them first, so
    // that their new points are laid out once, after the axes.
    for (const Trace &t : m_traces) {
        t.line->clear();
        t.floor->clear();
    }
    // Each of the two makes the axis lay its ticks out with the other's old
    // value: the coarser interval goes first, so that it never lays out a
    // wide range at a fine interval (a hundred thousand ticks).
    const double interval = niceInterval(m_x1 - m_x0, 8);
    if (interval >= m_timeAxis->tickInterval()) {
        m_timeAxis->setTickInterval(interval);
        m_timeAxis->setRange(m_x0, m_x1);
    } else {
        m_timeAxis->setRange(m_x0, m_x1);
        m_timeAxis->setTickInterval(interval);
    }
    if (m_log) {
        // Just outside the decades: QLogValueAxis finds its first tick with
        // ceil(log10(min)), which a hair above the whole number would skip.
        QLogValueAxis *axis = m_logAxis;
        const double min = m_pressureRange.min * (1.0 - kDecadeNudge);
        const double max = m_pressureRange.max * (1.0 + kDecadeNudge);
        if (axis->min() != min || axis->max() != max)
            axis->setRange(min, max);
    } else {
        m_linearAxis->setRange(m_pressureRange.min, m_pressureRange.max);
        m_linearAxis->applyNiceNumbers();
    }

    m_drawnPoints = 0;
    for (size_t i = 0; i < m_traces.size(); ++i) {
        const Trace &t = m_traces[i];
        DrawPoints &d = drawn[i];
        if (m_log) {
            for (QPointF &p : d.line) {
                if (!(p.y() > 0.0))
                    p.setY(m_pressureRange.min);
            }
            for (QPointF &p : d.floorMarks)
                p.setY(m_pressureRange.min);
        }
        t.line->replace(d.line);
        t.floor->replace(d.floorMarks);
        m_drawnPoints += d.line.size();
        const qsizetype atFloor = t.run ? t.run->span().atOrBelowZero : 0;
        t.floor->setName(atFloor == 1 ? tr("%1: 1 reading at or below 0, drawn at the axis floor").arg(t.label)
                                      : tr("%1: %2 readings at or below 0, drawn at the axis floor")
                                            .arg(t.label, QString::number(atFloor)));
        showInLegend(chart(), t.floor, m_log && atFloor > 0);
    }
    drawFit();
    placeSpan();
    emit timeWindowChanged(m_x0, m_x1);
}

void PressureChart::setSpan(double from, double to)
{
    m_span = std::make_pair(std::min(from, to), std::max(from, to));
    placeSpan();
}

void PressureChart::clearSpan()
{
    m_span.reset();
    m_firstClick.reset();
    placeSpan();
}

void PressureChart::placeSpan()
{
    const QRectF plot = chart()->plotArea();
    if (!m_span || plot.width() <= 0.0 || !(m_x1 > m_x0)) {
        m_spanItem->hide();
        return;
    }
    const auto xOf = [&](double t) {
        return std::clamp(plot.left() + (t - m_x0) / (m_x1 - m_x0) * plot.width(), plot.left(), plot.right());
    };
    const double left = xOf(m_span->first);
    const double right = std::max(xOf(m_span->second), left + 1.0);
    m_spanItem->setRect(QRectF(left, plot.top(), right - left, plot.height()));
    m_spanItem->show();
}

void PressureChart::setFit(const RiseTest &test)
{
    m_fit = test;
    drawFit();
}

void PressureChart::clearFit()
{
    m_fit.reset();
    drawFit();
}

void PressureChart::drawFit()
{
    QList<QPointF> samples;
    if (m_fit && m_fit->ran) {
        const double scale = unitsPerMbar(m_unit);
        for (int i = 0; i < kFitSamples; ++i) {
            const double t = m_fit->from + (m_fit->to - m_fit->from) * i / (kFitSamples - 1);
            const double p = (m_fit->whole.intercept + m_fit->whole.slope * t) * scale;
            if (!m_log || p > 0.0)
                samples.append(QPointF(t, p));
        }
        m_fitLine->setName(tr("fit: dp/dt = %1 %2/s")
                               .arg(QString::number(m_fit->whole.slope * scale, 'g', 3), unitName(m_unit)));
    }
    m_fitLine->replace(samples);
    showInLegend(chart(), m_fitLine, !samples.isEmpty());
}

void PressureChart::setPickingSpan(bool on)
{
    m_picking = on;
    m_firstClick.reset();
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
}

double PressureChart::timeAt(const QPoint &viewPos) const
{
    const QPointF inChart = chart()->mapFromScene(mapToScene(viewPos));
    const QRectF plot = chart()->plotArea();
    if (plot.width() <= 0.0)
        return m_x0;
    return m_x0 + (inChart.x() - plot.left()) / plot.width() * (m_x1 - m_x0);
}

void PressureChart::zoomBy(double factor, double around)
{
    setTimeWindow(around - (around - m_x0) * factor, around + (m_x1 - around) * factor);
}

void PressureChart::panBy(double seconds)
{
    setTimeWindow(m_x0 + seconds, m_x1 + seconds);
}

void PressureChart::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    scheduleRedraw();
}

void PressureChart::wheelEvent(QWheelEvent *event)
{
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0.0)
        return;
    zoomBy(std::pow(kZoomStep, -notches), timeAt(event->position().toPoint()));
    event->accept();
}

void PressureChart::mousePressEvent(QMouseEvent *event)
{
    m_pressPos = event->pos();
    m_pressTime = timeAt(event->pos());
    const bool pan = event->button() == Qt::MiddleButton
                     || (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan)
        m_drag = Drag::Pan;
    else if (event->button() == Qt::LeftButton)
        m_drag = m_picking ? Drag::Span : Drag::Zoom;
    else
        return QChartView::mousePressEvent(event);
    event->accept();
}

void PressureChart::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag == Drag::None)
        return QChartView::mouseMoveEvent(event);
    if (m_drag == Drag::Pan) {
        const QRectF plot = chart()->plotArea();
        if (plot.width() > 0.0)
            panBy((m_pressPos.x() - event->pos().x()) / plot.width() * (m_x1 - m_x0));
        m_pressPos = event->pos();
        return;
    }
    const QRect plot = mapFromScene(chart()->mapToScene(chart()->plotArea())).boundingRect();
    const int left = std::min(m_pressPos.x(), event->pos().x());
    const int right = std::max(m_pressPos.x(), event->pos().x());
    m_band->setGeometry(QRect(QPoint(left, plot.top()), QPoint(right, plot.bottom())));
    m_band->show();
}

void PressureChart::mouseReleaseEvent(QMouseEvent *event)
{
    const Drag drag = std::exchange(m_drag, Drag::None);
    m_band->hide();
    if (drag == Drag::None)
        return QChartView::mouseReleaseEvent(event);
    const double here = timeAt(event->pos());
    const bool dragged = std::abs(event->pos().x() - m_pressPos.x()) >= kDragPixels;
    if (drag == Drag::Zoom && dragged) {
        setTimeWindow(std::min(m_pressTime, here), std::max(m_pressTime, here));
    } else if (drag == Drag::Span) {
        if (dragged) {
            m_firstClick.reset();
            setSpan(m_pressTime, here);
            emit spanPicked(m_span->first, m_span->second);
        } else if (m_firstClick) {
            setSpan(*m_firstClick, here);
            m_firstClick.reset();
            emit spanPicked(m_span->first, m_span->second);
        } else {
            m_firstClick = here;
            setSpan(here, here);
        }
    }
    event->accept();
}

void PressureChart::keyPressEvent(QKeyEvent *event)
{
    const double middle = (m_x0 + m_x1) / 2.0;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomBy(1.0 / kZoomStep, middle);
        break;
    case Qt::Key_Minus:
        zoomBy(kZoomStep, middle);
        break;
    case Qt::Key_Left:
        panBy(-kPanStep * (m_x1 - m_x0));
        break;
    case Qt::Key_Right:
        panBy(kPanStep * (m_x1 - m_x0));
        break;
    case Qt::Key_Home:
        showWhole();
        break;
    default:
        return QChartView::keyPressEvent(event);
    }
    event->accept();
}

} // namespace viewer
