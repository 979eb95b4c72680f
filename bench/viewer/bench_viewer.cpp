// Prints, for one generated pump-down of 1,000,000 records (six decades over
// the run, about 40 MB):
//   - open and first paint in the viewer (read, decimate, draw the window)
//     beside the window's Load Graph and repaint of the same file;
//   - the viewer's read alone beside the run parser's;
//   - the frame time while zooming the viewer's logarithmic axis in and out
//     (the time window changed, the run drawn again, the view repainted),
//     beside the window's chart drawing the same run after its x range
//     changed; the goal is a 60 Hz frame.
#include "bench_line.h"
#include "chart_rendering.h"
#include "followed_run.h"
#include "mainwindow.h"
#include "pressure_chart.h"
#include "run_files.h"
#include "run_follower.h"
#include "run_parser.h"
#include "viewer_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineSeries>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kRecords = 1000000;
constexpr int kRepeats = 5;
constexpr int kZoomSteps = 30;     // in, then as many out
constexpr int kWindowFrames = 5;   // the baseline's frames are slow

double msSince(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e6; }

// The window's Load Graph and a repaint, on a fresh window.
double windowOpenAndPaint(const QString &path, bool *ok)
{
    MainWindow w;
    w.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    w.loadRun(path);
    w.repaint();
    QCoreApplication::processEvents();
    const double ms = msSince(t);
    *ok = w.series->count() == kRecords;
    return ms;
}

double viewerOpenAndPaint(const QString &path, bool *ok)
{
    viewer::ViewerWindow w;
    w.show();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    QString error;
    *ok = w.openRun(path, false, &error);
    w.chart()->redrawNow();
    w.repaint();
    QCoreApplication::processEvents();
    const double ms = msSince(t);
    *ok = *ok && w.runs().constFirst()->points().size() == kRecords;
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    std::printf("platform %s; the window's series drawn with %s, the viewer's with the default raster drawing\n",
                qPrintable(QGuiApplication::platformName()),
                openGLRenderingAvailable() ? "OpenGL" : "the default raster drawing (no OpenGL context)");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pumpdown.csv"));
    QList<QPointF> points = testsupport::sampleRun(
        [](double t) { return 1013.25 * std::pow(10.0, -6.0 * t / kRecords) * (1.0 + 0.02 * std::sin(t / 7.0)); },
        kRecords);
    testsupport::writeRun(path, points);
    points.clear();
    std::printf("run CSV: %d records, %.1f MB\n", kRecords, double(QFileInfo(path).size()) / 1e6);
    std::fflush(stdout);

    // Alternate the two so that both see the same load on the machine.
    double windowMs = 1e300, viewerMs = 1e300, parseMs = 1e300, followMs = 1e300;
    bool windowOk = true, viewerOk = true;
    for (int i = 0; i < kRepeats; ++i) {
        bool ok = false;
        windowMs = std::min(windowMs, windowOpenAndPaint(path, &ok));
        windowOk = windowOk && ok;
        viewerMs = std::min(viewerMs, viewerOpenAndPaint(path, &ok));
        viewerOk = viewerOk && ok;
        QElapsedTimer t;
        t.start();
        const qsizetype parsed = records::parseRunFile(path).points.size();
        parseMs = std::min(parseMs, msSince(t));
        t.restart();
        records::RunFollower follower;
        QString error;
        follower.open(path, &error);
        const qsizetype followed = follower.read().points.size();
        followMs = std::min(followMs, msSince(t));
        ok = parsed == kRecords && followed == kRecords;
        viewerOk = viewerOk && ok;
    }

    // Zooming the viewer's log axis around the middle of the run.
    viewer::ViewerWindow v;
    v.resize(1400, 800);
    v.show();
    QString error;
    v.openRun(path, false, &error);
    viewer::PressureChart *chart = v.chart();
    chart->redrawNow();
    QCoreApplication::processEvents();
    const bool logAxis = chart->logarithmic();
    bench::Samples frames, redraws;
    qsizetype mostDrawn = 0;
    double from = chart->windowStart(), to = chart->windowEnd();
    const double middle = (from + to) / 2.0;
    for (int step = 0; step < 2 * kZoomSteps; ++step) {
        const double factor = step < kZoomSteps ? 1.0 / 1.25 : 1.25;
        from = middle - (middle - from) * factor;
        to = middle + (to - middle) * factor;
        QElapsedTimer t;
        t.start();
        chart->setTimeWindow(from, to);
        chart->redrawNow();
        redraws.add(t.nsecsElapsed());
        chart->viewport()->repaint();
        frames.add(t.nsecsElapsed());
        mostDrawn = std::max(mostDrawn, chart->drawnPoints());
    }

    // The window's chart drawing the same run after an x-range change.
    bench::Samples windowFrames;
    {
        MainWindow w;
        w.resize(1400, 800);
        w.show();
        w.loadRun(path);
        w.repaint();
        QCoreApplication::processEvents();
        for (int i = 0; i < kWindowFrames; ++i) {
            QElapsedTimer t;
            t.start();
            w.axisX->setRange(kRecords * (0.1 + 0.02 * i), kRecords * (0.9 - 0.02 * i));
            w.chartView->viewport()->repaint();
            windowFrames.add(t.nsecsElapsed());
        }
    }

    if (!windowOk || !viewerOk || !logAxis)
        std::printf("FAILED: window loaded all %d: %s; viewer read all: %s; log axis: %s\n", kRecords,
                    windowOk ? "yes" : "no", viewerOk ? "yes" : "no", logAxis ? "yes" : "no");
    const bench::Timings zoom = frames.summary();
    const double windowFrameMs = windowFrames.summary().medianUs / 1000.0;
    std::printf("zoom: %zu frames, at most %lld points drawn; of a frame's median the series and axes took %.1f ms, "
                "the paint the rest\n",
                zoom.samples, (long long)mostDrawn, redraws.summary().medianUs / 1000.0);
    bench::line("viewer", "window: Load Graph + repaint, 1M records (baseline)", windowMs, "ms");
    bench::line("viewer", "viewer: open + first paint, 1M records", viewerMs, "ms", windowMs, "< 1000 ms");
    bench::line("viewer", "viewer: read 1M records (RunFollower)", followMs, "ms", parseMs, "<= 1.2x parseRunFile");
    bench::line("viewer", "window: chart frame after an x-range change, 1M points (median)", windowFrameMs, "ms");
    bench::line("viewer", "viewer: zoom frame on the log axis (median)", zoom.medianUs / 1000.0, "ms", windowFrameMs,
                "< 16.7 ms");
    bench::line("viewer", "viewer: zoom frame on the log axis (99th percentile)", zoom.p99Us / 1000.0, "ms",
                windowFrameMs, "< 16.7 ms");
    return windowOk && viewerOk && logAxis ? 0 : 1;
}
