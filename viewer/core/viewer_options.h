// The viewer's command line:
//   pressure-viewer [--reference FILE] [--unit UNIT] [--log|--linear]
//                   [--export-png OUT [--size WxH]]
//                   [--rate-of-rise FROM TO --volume LITRES] [FILE...]
#pragma once

#include "pressure_units.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace viewer {

// Exit codes of the program.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // a file cannot be read, the test cannot run, the PNG cannot be written
inline constexpr int kExitUsage = 2;

inline constexpr QSize kDefaultExportSize{1200, 800};

struct ViewerOptions
{
    enum class Axis { Automatic, Logarithmic, Linear };

    QStringList files;
    QString reference;
    std::optional<PressureUnit> unit;   // none: the one remembered
    Axis axis = Axis::Automatic;
    QString exportPng;
    QSize exportSize = kDefaultExportSize;
    bool rateOfRise = false;
    double riseFrom = 0.0;
    double riseTo = 0.0;
    std::optional<double> volumeLitres;
    bool help = false;
    bool version = false;

    // Whether a window is shown (neither an export nor the test asked for).
    bool interactive() const { return exportPng.isEmpty() && !rateOfRise; }
};

struct ParsedOptions
{
    bool ok = false;
    QString error;          // for a usage error (exit 2)
    ViewerOptions options;
};

// `arguments` as main gets them, the program's name first.
ParsedOptions parseViewerOptions(const QStringList &arguments);
// The text of --help.
QString viewerHelpText();

} // namespace viewer
