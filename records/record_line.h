// One log record: "date;time;elapsed;pressure" and the line end.
#pragma once

#include <QDateTime>
#include <QString>

namespace records {

inline constexpr char kFieldSeparator = ';';
inline constexpr char kDateFormat[] = "yyyy-MM-dd";
inline constexpr char kTimeFormat[] = "HH:mm:ss";
inline constexpr int kElapsedDecimals = 3;

// The pressure as a QTextStream with default settings writes a double:
// SmartNotation, precision 6, C locale (1013.25, 1000, 12.3457, 1.234e-05).
QString formatPressure(double mbar);

// Seconds from runStart to now, whole milliseconds / 1000, three decimals.
QString formatElapsed(const QDateTime &runStart, const QDateTime &now);

// The whole record including the trailing "\n"; date, time and elapsed
// time all come from the one clock reading `now`.
QString formatRecordLine(const QDateTime &now, const QDateTime &runStart, double mbar);

} // namespace records
