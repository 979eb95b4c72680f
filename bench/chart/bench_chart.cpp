// Measures the chart work of one logged display tick: append a point, move
// the x range (and raise the y maximum when exceeded), and the repaint this
// causes, until the chart view and its children have painted. For each
// series length it builds the window's chart three times: Qt's default
// drawing with plain appends (the baseline), Qt's default drawing with the
// tick's own append (what the tool does where there is no OpenGL), and the
// tool's choice of drawing with the tick's own append. Each also runs a
// 10 ms timer whose every 100th tick does that update, to give the average
// tick period.
#include "bench_line.h"
#include "chart_axes.h"
#include "chart_rendering.h"
#include "live_chart.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QTimer>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kUpdates = 15;
constexpr int kTimerTicks = 300;

class PaintWatch : public QObject
{
public:
    bool painted = false;
    void watch(QWidget *w)
    {
        w->installEventFilter(this);
        for (QWidget *child : w->findChildren<QWidget *>())
            child->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

enum class Mode { Baseline, DefaultTick, Chosen };

const char *modeName(Mode m)
{
    switch (m) {
    case Mode::Baseline:
        return "default drawing, plain appends";
    case Mode::DefaultTick:
        return "default drawing, the tick's append";
    case Mode::Chosen:
        break;
    }
    return "chosen drawing, the tick's append";
}

struct Chart
{
    QWidget window;
    QLineSeries *series = new QLineSeries;
    QChart *chart = new QChart;
    QValueAxis *axisX = new QValueAxis;
    QValueAxis *axisY = new QValueAxis;
    QChartView *view = nullptr;
    int sampleIndex = 0;
    Mode mode;
    PaintWatch watch;

    Chart(Mode m, int points) : mode(m)
    {
        if (mode == Mode::Chosen)
            configureSeriesRendering(series);
        else
            series->setUseOpenGL(false);
        chart->addSeries(series);
        chart->setTitle(QStringLiteral("Pressure over time"));
        chart->legend()->hide();
        axisX->setTitleText(QStringLiteral("Time (s)"));
        axisY->setTitleText(QStringLiteral("Pressure (mbar)"));
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        QList<QPointF> pts;
        pts.reserve(points);
        for (int i = 0; i < points; ++i)
            pts.append(QPointF(i, 1000.0 + 10.0 * std::sin(i * 0.01)));
        sampleIndex = points;
        axisX->setRange(std::max(0, sampleIndex - chart_axes::kXSpan), std::max(chart_axes::kXSpan, sampleIndex));
        axisY->setRange(0, chart_axes::kYMaxAtStart);
        series->replace(pts);
        view = new QChartView(chart);
        view->setRenderHint(QPainter::Antialiasing);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view);
        window.resize(800, 520);
        window.show();
    }

    bool waitPainted()
    {
        QElapsedTimer t;
        t.start();
        while (!watch.painted && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return watch.painted;
    }

    // One display tick's chart work.
    void update()
    {
        const double y = 1000.0 + 10.0 * std::sin(sampleIndex * 0.01);
        if (mode != Mode::Baseline) {
            appendLivePoint(series, axisX, axisY, sampleIndex, y);
            return;
        }
        series->append(double(sampleIndex), y);
        ++sampleIndex;
        if (sampleIndex > chart_axes::kXSpan)
            axisX->setRange(sampleIndex - chart_axes::kXSpan, sampleIndex);
        if (y > axisY->max())
            axisY->setMax(y + chart_axes::kYHeadroom);
    }
};

struct Figures
{
    double medianMs = 0;
    double meanMs = 0;
    double tickPeriodMs = 0;
    bool gl = false;
};

Figures measure(Mode mode, int points)
{
    Chart c(mode, points);
    c.watch.watch(&c.window);
    c.waitPainted();
    QCoreApplication::processEvents();
    c.watch.watch(&c.window); // children created while showing (OpenGL widget)
    std::vector<double> ms;
    for (int i = 0; i < kUpdates; ++i) {
        c.watch.painted = false;
        QElapsedTimer t;
        t.start();
        c.update();
        if (!c.waitPainted())
            std::fprintf(stderr, "no repaint seen\n");
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    Figures f;
    f.gl = c.series->useOpenGL();
    std::sort(ms.begin(), ms.end());
    f.medianMs = ms[ms.size() / 2];
    double sum = 0;
    for (double v : ms)
        sum += v;
    f.meanMs = sum / double(ms.size());

    // The 10 ms timer with a display tick every 100th tick.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    int ticks = 0;
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks % 100 == 0)
            c.update();
        if (ticks == kTimerTicks)
            loop.quit();
    });
    QElapsedTimer period;
    period.start();
    timer.start(10);
    loop.exec();
    f.tickPeriodMs = double(period.nsecsElapsed()) / 1e6 / kTimerTicks;
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::printf("platform %s; chosen drawing: %s\n", qPrintable(QGuiApplication::platformName()),
                openGLRenderingAvailable() ? "OpenGL" : "default (no OpenGL context here)");
    for (int points : {1000, 100000, 1000000}) {
        double baseline = 0;
        for (Mode mode : {Mode::Baseline, Mode::DefaultTick, Mode::Chosen}) {
            const Figures f = measure(mode, points);
            if (mode == Mode::Baseline)
                baseline = f.medianMs;
            const std::string what = std::string(modeName(mode)) + (f.gl ? " (OpenGL), " : " (raster), ")
                                     + std::to_string(points) + " points";
            // Against the default drawing with plain appends (which has no baseline itself).
            const bool goal = points == 1000000 && mode == Mode::Chosen;
            bench::line("chart", "update, " + what, f.medianMs, "ms", mode == Mode::Baseline ? 0 : baseline,
                        goal ? "< 20 ms, <= 0.1x default" : "-");
            bench::line("chart", "update mean, " + what, f.meanMs, "ms");
            bench::line("chart", "tick period, " + what, f.tickPeriodMs, "ms", 10, "~10 ms");
        }
    }
    return 0;
}
