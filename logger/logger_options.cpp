#include "logger_options.h"
#include "mqtt_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

#include <cmath>

namespace logger {

bool parseDuration(const QString &text, qint64 *ms)
{
    static const QRegularExpression form(QStringLiteral("^(\\d+(?:\\.\\d+)?)([smhd]?)$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return false;
    const QString unit = m.captured(2);
    const double perUnit = unit == QLatin1String("d") ? 86400e3
                         : unit == QLatin1String("h") ? 3600e3
                         : unit == QLatin1String("m") ? 60e3
                                                      : 1e3;
    const double value = std::round(m.captured(1).toDouble() * perUnit);
    // Up to about 290 million years fit; a year is plenty for a sanity limit.
    if (!(value >= 1.0) || value > 366.0 * 86400e3)
        return false;
    *ms = qint64(value);
    return true;
}

ParsedOptions parseOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Logs an EtherCAT pressure sensor without a desktop: reads it every 10 ms and once a\n"
        "second writes a record to a run CSV and a daily CSV, the files the window's\n"
        "Load Graph reads. SIGTERM or SIGINT end it (files synced), SIGHUP starts a new run."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Folder for the CSV files (default: the working directory)."),
                                    QStringLiteral("folder"));
    const QCommandLineOption duration({QStringLiteral("d"), QStringLiteral("duration")},
                                      QStringLiteral("Stop after this long: seconds, or a number with s, m, h or d "
                                                     "(90, 15m, 12h, 7d). Default: until stopped."),
                                      QStringLiteral("time"));
    const QCommandLineOption quiet({QStringLiteral("q"), QStringLiteral("quiet")},
                                   QStringLiteral("No status line each second; events and errors still go to the "
                                                  "standard error."));
    parser.addOption(output);
    parser.addOption(duration);
    parser.addOption(quiet);
    addMqttOptions(parser);
    parser.addPositionalArgument(QStringLiteral("adapter"),
                                 QStringLiteral("The network adapter that leads to the bus (its system name, "
                                                "for example enp3s0)."));

    ParsedOptions result;
    auto usageError = [&result](const QString &why) {
        result.outcome = ParsedOptions::UsageError;
        result.text = why + QStringLiteral("\nTry --help.");
        return result;
    };
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        result.outcome = ParsedOptions::ShowHelp;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = ParsedOptions::ShowVersion;
        result.text = QCoreApplication::applicationName() + QLatin1Char(' ')
                    + QCoreApplication::applicationVersion();
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return usageError(QStringLiteral("no adapter given"));
    if (positional.size() > 1)
        return usageError(QStringLiteral("one adapter only, got: %1").arg(positional.join(QLatin1Char(' '))));
    if (positional.first().isEmpty())
        return usageError(QStringLiteral("the adapter name is empty"));
    result.settings.adapter = positional.first().toUtf8();
    result.settings.outputDir = parser.isSet(output) ? parser.value(output) : QDir::currentPath();
    if (result.settings.outputDir.isEmpty())
        return usageError(QStringLiteral("the output folder is empty"));
    if (parser.isSet(duration) && !parseDuration(parser.value(duration), &result.settings.durationMs))
        return usageError(QStringLiteral("--duration: \"%1\" is not a time above zero such as 90, 15m, 12h or 7d")
                              .arg(parser.value(duration)));
    result.settings.quiet = parser.isSet(quiet);
    QString mqttError;
    if (!takeMqttOptions(parser, positional.first(), result.settings.outputDir, &result.mqtt, &mqttError))
        return usageError(mqttError);
    return result;
}

} // namespace logger
