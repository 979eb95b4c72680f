#include "batch.h"

#include "chart_export.h"
#include "followed_run.h"
#include "pressure_chart.h"
#include "rise_report.h"
#include "viewer_options.h"
#include "viewer_settings.h"

#include <QFileInfo>
#include <QJsonDocument>

#include <cstdio>
#include <memory>
#include <vector>

namespace viewer {

namespace {

void printError(const QString &text)
{
    std::fprintf(stderr, "pressure-viewer: %s\n", qPrintable(text));
}

// A run read whole, its unended last line taken as it stands.
std::unique_ptr<FollowedRun> load(const QString &path)
{
    auto run = std::make_unique<FollowedRun>();
    QString error;
    if (!run->open(path, &error)) {
        printError(error);
        return nullptr;
    }
    return run;
}

// Prints the test; false when it could not run.
bool printTest(const ViewerOptions &options, const FollowedRun &run, RiseTest *test)
{
    *test = rateOfRise(run.points(), options.riseFrom, options.riseTo, *options.volumeLitres);
    const QByteArray json = QJsonDocument(riseJson(*test, options.files.constFirst())).toJson(QJsonDocument::Compact);
    std::fprintf(stdout, "%s\n", json.constData());
    std::fflush(stdout);
    if (!test->ran)
        printError(QStringLiteral("the rate-of-rise test cannot run: %1").arg(test->error));
    return test->ran;
}

} // namespace

int printRiseTest(const ViewerOptions &options)
{
    const std::unique_ptr<FollowedRun> run = load(options.files.constFirst());
    if (!run)
        return kExitFailed;
    RiseTest test;
    return printTest(options, *run, &test) ? kExitOk : kExitFailed;
}

int exportPng(const ViewerOptions &options)
{
    std::vector<std::unique_ptr<FollowedRun>> runs;
    PressureChart chart;
    chart.setUnit(options.unit.value_or(loadSettings().unit));
    if (options.axis == ViewerOptions::Axis::Logarithmic)
        chart.setAxisChoice(AxisChoice::Logarithmic);
    else if (options.axis == ViewerOptions::Axis::Linear)
        chart.setAxisChoice(AxisChoice::Linear);
    if (!options.reference.isEmpty()) {
        runs.push_back(load(options.reference));
        if (!runs.back())
            return kExitFailed;
        chart.addRun(runs.back().get(), QFileInfo(options.reference).fileName(), true);
    }
    for (const QString &path : options.files) {
        runs.push_back(load(path));
        if (!runs.back())
            return kExitFailed;
        chart.addRun(runs.back().get(), QFileInfo(path).fileName(), false);
    }
    bool tested = true;
    if (options.rateOfRise) {
        RiseTest test;
        tested = printTest(options, *runs.back(), &test);
        chart.setSpan(options.riseFrom, options.riseTo);
        chart.setFit(test);
    }
    QString error;
    if (!savePng(renderChart(chart, options.exportSize), options.exportPng, &error)) {
        printError(error);
        return kExitFailed;
    }
    return tested ? kExitOk : kExitFailed;
}

} // namespace viewer
