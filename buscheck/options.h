// The command line: pressure-bus-check [--json] [--watch] [ADAPTER].
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace buscheck {

struct Options {
    QByteArray adapter; // empty: list the adapters
    bool json = false;
    bool watch = false;
};

enum class ParseOutcome { Run, HelpShown, VersionShown, BadUsage };

// Parses `arguments` (program name first). On BadUsage, *error says what is
// wrong; help and version texts are printed to stdout here.
ParseOutcome parseOptions(const QStringList &arguments, Options *options, QString *error);

} // namespace buscheck
