#include "record_line.h"

#include <QTextStream>

namespace records {

QString formatPressure(double mbar)
{
    QString text;
    QTextStream stream(&text);
    stream << mbar;
    stream.flush();
    return text;
}

QString formatElapsed(const QDateTime &runStart, const QDateTime &now)
{
    const qint64 ms = runStart.msecsTo(now);
    return QString::number(double(ms) / 1000.0, 'f', kElapsedDecimals);
}

QString formatRecordLine(const QDateTime &now, const QDateTime &runStart, double mbar)
{
    QString line;
    line.reserve(48);
    line += now.date().toString(QLatin1String(kDateFormat));
    line += QLatin1Char(kFieldSeparator);
    line += now.time().toString(QLatin1String(kTimeFormat));
    line += QLatin1Char(kFieldSeparator);
    line += formatElapsed(runStart, now);
    line += QLatin1Char(kFieldSeparator);
    line += formatPressure(mbar);
    line += QLatin1Char('\n');
    return line;
}

} // namespace records
