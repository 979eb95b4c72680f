// The logger's command line.
#pragma once

#include "mqtt_settings.h"
#include "pressure_logger.h"

#include <QString>
#include <QStringList>

namespace logger {

struct ParsedOptions
{
    enum Outcome { Run, ShowHelp, ShowVersion, UsageError };
    Outcome outcome = Run;
    LoggerSettings settings;
    MqttSettings mqtt;   // disabled without --mqtt
    QString text;   // the help, the version or what was wrong
};

// `arguments` as QCoreApplication::arguments() gives them (program first).
// The output folder defaults to the working directory.
ParsedOptions parseOptions(const QStringList &arguments);

// "90" or "90s" (seconds), "15m", "12h", "7d"; a fraction is allowed
// ("1.5h"). False for anything else and for zero.
bool parseDuration(const QString &text, qint64 *ms);

} // namespace logger
