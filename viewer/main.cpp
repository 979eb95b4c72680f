// pressure-viewer: pressure runs on a logarithmic axis, in the unit of one's
// choice, against a reference run, with the rate-of-rise leak test; see
// viewer_options.h for the command line and pressure-viewer(1).
#include "batch.h"
#include "rise_panel.h"
#include "viewer_options.h"
#include "viewer_window.h"

#include <QApplication>
#include <QStatusBar>

#include <cstdio>

using namespace viewer;

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const ParsedOptions parsed = parseViewerOptions(arguments);
    if (!parsed.ok) {
        std::fprintf(stderr, "pressure-viewer: %s\nTry 'pressure-viewer --help'.\n", qPrintable(parsed.error));
        return kExitUsage;
    }
    const ViewerOptions &options = parsed.options;
    if (options.help) {
        const QCoreApplication app(argc, argv);   // the usage line names the program
        std::fputs(qPrintable(viewerHelpText()), stdout);
        return kExitOk;
    }
    if (options.version) {
        std::printf("pressure-viewer %s\n", PRESSURE_VIEWER_VERSION);
        return kExitOk;
    }
    QCoreApplication::setOrganizationName(QStringLiteral("pressure-monitor"));
    QCoreApplication::setApplicationName(QStringLiteral("pressure-viewer"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PRESSURE_VIEWER_VERSION));

    if (options.rateOfRise && options.exportPng.isEmpty()) {
        const QCoreApplication app(argc, argv);
        return printRiseTest(options);
    }
    // No window to show: nothing needs a display.
    if (!options.interactive() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!options.interactive())
        return exportPng(options);

    ViewerWindow window;
    if (options.unit)
        window.setUnit(*options.unit, false);
    if (options.axis == ViewerOptions::Axis::Logarithmic)
        window.setAxisChoice(AxisChoice::Logarithmic);
    else if (options.axis == ViewerOptions::Axis::Linear)
        window.setAxisChoice(AxisChoice::Linear);
    if (options.volumeLitres)
        window.risePanel()->setVolume(*options.volumeLitres);
    QStringList failures;
    QString error;
    if (!options.reference.isEmpty() && !window.openRun(options.reference, true, &error))
        failures.append(error);
    for (const QString &path : options.files) {
        if (!window.openRun(path, false, &error))
            failures.append(error);
    }
    for (const QString &failure : failures)
        std::fprintf(stderr, "pressure-viewer: %s\n", qPrintable(failure));
    window.show();
    if (!failures.isEmpty())
        window.statusBar()->showMessage(QObject::tr("Could not open: %1").arg(failures.join(QStringLiteral("; "))));
    const int rc = app.exec();
    return failures.isEmpty() ? rc : kExitFailed;
}
