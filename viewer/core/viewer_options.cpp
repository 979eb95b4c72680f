#include "viewer_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>

namespace viewer {

namespace {

const QString kRiseOption = QStringLiteral("rate-of-rise");

struct Parser
{
    QCommandLineParser parser;
    QCommandLineOption reference{QStringLiteral("reference"),
                                 QStringLiteral("Draw FILE as the reference run: the same time axis, and the "
                                                "difference in the times to pressure."),
                                 QStringLiteral("FILE")};
    QCommandLineOption unit{QStringLiteral("unit"),
                            QStringLiteral("Show pressures in UNIT: mbar, hPa, Pa or Torr (for this start; "
                                           "a unit chosen in the window is remembered)."),
                            QStringLiteral("UNIT")};
    QCommandLineOption log{QStringLiteral("log"), QStringLiteral("A logarithmic pressure axis.")};
    QCommandLineOption linear{QStringLiteral("linear"), QStringLiteral("A linear pressure axis.")};
    QCommandLineOption exportPng{QStringLiteral("export-png"),
                                 QStringLiteral("Write the chart as a PNG image to OUT and exit, without a window "
                                                "or a display."),
                                 QStringLiteral("OUT")};
    QCommandLineOption size{QStringLiteral("size"),
                            QStringLiteral("The exported image's size in pixels (default %1x%2).")
                                .arg(kDefaultExportSize.width())
                                .arg(kDefaultExportSize.height()),
                            QStringLiteral("WxH")};
    QCommandLineOption rise{kRiseOption,
                            QStringLiteral("The rate-of-rise test on the span FROM..TO seconds of elapsed time of "
                                           "the one FILE, printed as one JSON object; no window is opened."),
                            QStringLiteral("FROM TO")};
    QCommandLineOption volume{QStringLiteral("volume"),
                              QStringLiteral("The chamber's volume in litres, for the leak rate Q = V dp/dt."),
                              QStringLiteral("LITRES")};

    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Shows pressure runs (the CSV files of pressure-monitor and pressure-logger) on a logarithmic or "
            "linear axis, compares a pump-down with a reference run, and runs the rate-of-rise leak test. "
            "A file that is still being written is followed."));
        parser.addOptions({reference, unit, log, linear, exportPng, size, rise, volume});
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("Run CSV files to show."),
                                     QStringLiteral("[FILE...]"));
    }
};

// QCommandLineParser gives an option one value: the two words after
// --rate-of-rise become one, "FROM TO".
bool joinRiseSpan(QStringList &arguments, QString *error)
{
    const QString flag = QStringLiteral("--") + kRiseOption;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--"))
            return true;
        if (arguments[i] != flag)
            continue;
        if (i + 2 >= arguments.size()) {
            *error = QStringLiteral("--rate-of-rise needs two numbers: FROM TO (seconds of elapsed time)");
            return false;
        }
        arguments[i + 1] += QLatin1Char(' ') + arguments[i + 2];
        arguments.removeAt(i + 2);
    }
    return true;
}

bool finiteNumber(const QString &text, double *value)
{
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok && std::isfinite(*value);
}

bool parseSize(const QString &text, QSize *size)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return false;
    bool okW = false, okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    if (!okW || !okH || w < 16 || h < 16 || w > 16384 || h > 16384)
        return false;
    *size = QSize(w, h);
    return true;
}

ParsedOptions usage(const QString &error)
{
    ParsedOptions parsed;
    parsed.error = error;
    return parsed;
}

} // namespace

ParsedOptions parseViewerOptions(const QStringList &arguments)
{
    QString error;
    QStringList args = arguments;
    if (!joinRiseSpan(args, &error))
        return usage(error);
    Parser p;
    if (!p.parser.parse(args))
        return usage(p.parser.errorText());

    ParsedOptions parsed;
    ViewerOptions &o = parsed.options;
    o.help = p.parser.isSet(QStringLiteral("help")) || p.parser.isSet(QStringLiteral("help-all"));
    o.version = p.parser.isSet(QStringLiteral("version"));
    o.files = p.parser.positionalArguments();
    o.reference = p.parser.value(p.reference);
    if (p.parser.isSet(p.unit)) {
        PressureUnit unit;
        if (!parseUnit(p.parser.value(p.unit), &unit))
            return usage(QStringLiteral("--unit %1: use one of %2")
                             .arg(p.parser.value(p.unit), unitNames().join(QStringLiteral(", "))));
        o.unit = unit;
    }
    if (p.parser.isSet(p.log) && p.parser.isSet(p.linear))
        return usage(QStringLiteral("--log and --linear exclude each other"));
    if (p.parser.isSet(p.log))
        o.axis = ViewerOptions::Axis::Logarithmic;
    else if (p.parser.isSet(p.linear))
        o.axis = ViewerOptions::Axis::Linear;

    o.exportPng = p.parser.value(p.exportPng);
    if (p.parser.isSet(p.exportPng) && o.exportPng.isEmpty())
        return usage(QStringLiteral("--export-png needs a file name"));
    if (p.parser.isSet(p.size)) {
        if (o.exportPng.isEmpty())
            return usage(QStringLiteral("--size goes with --export-png"));
        if (!parseSize(p.parser.value(p.size), &o.exportSize))
            return usage(QStringLiteral("--size %1: give WIDTHxHEIGHT in pixels, 16 to 16384 each (1200x800)")
                             .arg(p.parser.value(p.size)));
    }
    if (p.parser.isSet(p.volume)) {
        double litres = 0.0;
        if (!finiteNumber(p.parser.value(p.volume), &litres) || !(litres > 0.0))
            return usage(QStringLiteral("--volume %1: give the chamber's volume in litres, above 0")
                             .arg(p.parser.value(p.volume)));
        o.volumeLitres = litres;
    }
    if (p.parser.isSet(p.rise)) {
        o.rateOfRise = true;
        const QStringList span = p.parser.value(p.rise).split(QLatin1Char(' '));
        if (span.size() != 2 || !finiteNumber(span[0], &o.riseFrom) || !finiteNumber(span[1], &o.riseTo))
            return usage(QStringLiteral("--rate-of-rise %1: give FROM TO, two numbers of seconds")
                             .arg(p.parser.value(p.rise)));
        if (!(o.riseFrom < o.riseTo))
            return usage(QStringLiteral("--rate-of-rise %1 %2: FROM must be before TO").arg(span[0], span[1]));
        if (!o.volumeLitres)
            return usage(QStringLiteral("--rate-of-rise needs --volume LITRES (the chamber's volume)"));
        if (o.files.size() != 1 || !o.reference.isEmpty())
            return usage(QStringLiteral("--rate-of-rise tests one FILE (and no --reference)"));
    }
    if (!o.help && !o.version && !o.interactive() && o.files.isEmpty())
        return usage(QStringLiteral("--export-png and --rate-of-rise need a FILE"));
    parsed.ok = true;
    return parsed;
}

QString viewerHelpText()
{
    Parser p;
    return p.parser.helpText()
        + QStringLiteral("\nExit status: 0 done; 1 a file cannot be read, the rate-of-rise test cannot run "
                         "(fewer than three readings in the span) or the image cannot be written; 2 bad usage.\n"
                         "See pressure-viewer(1) for the times to pressure and the test's verdict.\n");
}

} // namespace viewer
