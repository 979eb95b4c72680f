// pressure-bus-check: lists the adapters the window would offer, or brings
// the bus on one of them up as the window's Connect does and reports every
// step, every slave and the sensor's readings; see --help and
// pressure-bus-check(1).
#include "adapter_list.h"
#include "bus_probe.h"
#include "json_report.h"
#include "master_notes.h"
#include "options.h"
#include "stop_signals.h"
#include "text_report.h"
#include "verdict.h"
#include "watch.h"

#include <pressure_link.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>

using namespace buscheck;

namespace {

constexpr int kBadUsage = 2;

void printJson(const QJsonObject &o)
{
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Indented).constData(), stdout);
    std::fflush(stdout);
}

// With --json the report is all that goes to stdout: the line that says what
// to do next goes to stderr.
void printNextOnStderr(const Verdict &v)
{
    if (!v.next.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(nextLine(v)));
}

int listAdapters(const Options &options, QTextStream &out)
{
    const std::vector<AdapterEntry> adapters = buscheck::listAdapters();
    const RawAccess access = rawAccess();
    const Verdict verdict = judgeAdapterList(adapters.size(), access, adapterListFailure());
    if (options.json) {
        printJson(adapterListJson(adapters, access, verdict));
        printNextOnStderr(verdict);
    } else {
        printAdapterList(out, adapters, access);
        printVerdict(out, verdict);
    }
    return verdict.exitStatus;
}

int checkBus(const Options &options, QTextStream &out, StopSignals &stop)
{
    BusReport report = startReport(options.adapter);
    StepShown shown;
    if (!options.json) {
        printAdapterHeader(out, report);
        shown = [&out](const StepRecord &s) { printStep(out, s); };
    }
    probeBus(report, stop, shown);
    if (!options.json)
        printBusDetails(out, report);

    Verdict verdict = judge(report);
    if (options.watch && report.connected && !stop.received())
        verdict = watchBus(out, stop);

    // Never leave the slaves in OP: INIT for all of them, as the window's
    // shutdown does, whatever happened above.
    ecat_disconnect();
    report.broughtDown = report.connected;

    if (options.json) {
        printJson(busReportJson(report, verdict));
        printNextOnStderr(verdict);
    } else {
        if (report.broughtDown)
            printBroughtDown(out);
        printVerdict(out, verdict);
    }
    return verdict.exitStatus;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pressure-bus-check"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PRESSURE_MONITOR_VERSION));

    Options options;
    QString error;
    switch (parseOptions(QCoreApplication::arguments(), &options, &error)) {
    case ParseOutcome::HelpShown:
    case ParseOutcome::VersionShown:
        return 0;
    case ParseOutcome::BadUsage:
        std::fprintf(stderr, "pressure-bus-check: %s\nNext: run pressure-bus-check --help for the usage\n",
                     qPrintable(error));
        return kBadUsage;
    case ParseOutcome::Run:
        break;
    }

    StopSignals stop(StopSignals::Hangup::Stops, "pressure-bus-check: stopping: the bus is brought down first\n");
    stop.wakeEventLoop();
    QTextStream out(stdout);
    if (options.adapter.isEmpty())
        return listAdapters(options, out);
    return checkBus(options, out, stop);
}
