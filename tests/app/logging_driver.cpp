// A process that logs as fast as it can, for the kill test: offscreen window,
// scripted link, logging started, then display ticks in a loop with readings
// of varying length. Prints "ready <run CSV> <daily CSV>" once the run began.
#include "window_fixture.h"

#include <QApplication>
#include <QLineSeries>

#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testsupport::resetAppState();
    MainWindow w;
    testsupport::stopTimers(w);
    testsupport::connectLink(w);
    w.onStartClicked();
    if (!loggingEnabled || !runFile.isOpen() || !dailyFile.isOpen()) {
        std::fprintf(stderr, "logging did not start\n");
        return 1;
    }
    std::printf("ready %s %s\n", qPrintable(runFile.fileName()), qPrintable(dailyFile.fileName()));
    std::fflush(stdout);
    const float raws[] = {101325.0f, 100000.0f, 1234.5678f, 0.001234f, 123456700.0f, -5000.0f};
    for (unsigned i = 0;; ++i) {
        testsupport::displayTickWith(w, fakelink::validReading(raws[i % 6]));
        if (w.series->count() >= 500)
            w.series->clear(); // keep the chart's own work small; the files are what matter
    }
}
