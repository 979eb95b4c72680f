#include "options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

namespace buscheck {

namespace {

const char *const kDescription =
    "Shows why the pressure monitor's Connect fails, the way commissioning tools do.\n"
    "\n"
    "Without ADAPTER it lists the adapters the window lists, in the same order, with\n"
    "their link state (up or down, carrier) and whether this program may open them\n"
    "for raw EtherCAT frames.\n"
    "\n"
    "With ADAPTER it brings the bus up exactly as the window's Connect does and\n"
    "prints each step with the time it took, every slave (identity, ESC, mailbox,\n"
    "process-data sizes, state, AL status code in words), whether slave 1 qualifies\n"
    "as the pressure sensor (at least 5 input bytes), and ten readings at the\n"
    "window's 10 ms rhythm. It then brings the bus down as the window does, also\n"
    "when stopped with Ctrl-C or SIGTERM. It writes no files.\n"
    "\n"
    "Raw frames need root or CAP_NET_RAW; other users open adapters through the\n"
    "helper pressure-raw-socket, which members of the group pressure-monitor may\n"
    "run. An administrator adds a user with\n"
    "  sudo usermod -aG pressure-monitor USER    (then log in again)\n"
    "\n"
    "Exit status:\n"
    "  0  slave 1 is a working pressure sensor in OP (without ADAPTER: adapters\n"
    "     are listed and may be opened)\n"
    "  1  the bus or the sensor is not right; the report says which\n"
    "  2  bad usage\n"
    "  3  the adapter cannot be opened for lack of permission\n"
    "  130, 143  stopped by SIGINT or SIGTERM before the check was done\n"
    "Every failure ends in a line \"Next: ...\" that says what to do.\n"
    "\n"
    "Examples:\n"
    "  pressure-bus-check                 list the adapters\n"
    "  pressure-bus-check enp3s0          check the bus on enp3s0\n"
    "  pressure-bus-check --json enp3s0   the same report as one JSON object\n"
    "  pressure-bus-check --watch enp3s0  then one reading a second until Ctrl-C";

} // namespace

ParseOutcome parseOptions(const QStringList &arguments, Options *options, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Print the report as one JSON object on stdout."));
    const QCommandLineOption watchOption(
        QStringLiteral("watch"),
        QStringLiteral("After the report, print one reading a second with the link's health until Ctrl-C."));
    parser.addOption(jsonOption);
    parser.addOption(watchOption);
    parser.addPositionalArgument(QStringLiteral("ADAPTER"),
                                 QStringLiteral("The adapter's system name, as the list without ADAPTER shows it."),
                                 QStringLiteral("[ADAPTER]"));

    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return ParseOutcome::BadUsage;
    }
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return ParseOutcome::HelpShown;
    }
    if (parser.isSet(versionOption)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return ParseOutcome::VersionShown;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        *error = QStringLiteral("one adapter at a time, got %1: %2")
                     .arg(positional.size())
                     .arg(positional.join(QLatin1Char(' ')));
        return ParseOutcome::BadUsage;
    }
    options->adapter = positional.isEmpty() ? QByteArray() : positional.front().toUtf8();
    options->json = parser.isSet(jsonOption);
    options->watch = parser.isSet(watchOption);
    if (!positional.isEmpty() && options->adapter.isEmpty()) {
        *error = QStringLiteral("the adapter name is empty");
        return ParseOutcome::BadUsage;
    }
    if (options->watch && options->adapter.isEmpty()) {
        *error = QStringLiteral("--watch needs an ADAPTER");
        return ParseOutcome::BadUsage;
    }
    if (options->watch && options->json) {
        *error = QStringLiteral("--watch prints lines for a person; it does not go with --json");
        return ParseOutcome::BadUsage;
    }
    return ParseOutcome::Run;
}

} // namespace buscheck
