#include "record_check.h"

#include <QFile>
#include <QRegularExpression>

#include <cmath>

namespace testsupport {

namespace {

// The stream's default double output: six significant digits, fixed notation
// or exponent notation with a sign and at least two exponent digits, trailing
// zeros dropped (so never "1.50" nor "2.").
const QRegularExpression &recordPattern()
{
    static const QRegularExpression re(QStringLiteral(
            "^(\\d{4}-\\d{2}-\\d{2});(\\d{2}:\\d{2}:\\d{2});(\\d+\\.\\d{3});"
            "(-?(?:0|[1-9]\\d{0,5})(?:\\.\\d*[1-9])?(?:e[+-]\\d{2,3})?)$"));
    return re;
}

}  // namespace

bool parseRecord(const QString &line, Record *out)
{
    const QRegularExpressionMatch m = recordPattern().match(line);
    if (!m.hasMatch())
        return false;
    const QStringList d = m.captured(1).split(QLatin1Char('-'));
    const QStringList t = m.captured(2).split(QLatin1Char(':'));
    const int month = d[1].toInt(), day = d[2].toInt();
    const int h = t[0].toInt(), mi = t[1].toInt(), s = t[2].toInt();
    if (month < 1 || month > 12 || day < 1 || day > 31 || h > 23 || mi > 59 || s > 59)
        return false;
    bool okE = false, okP = false;
    const double elapsed = m.captured(3).toDouble(&okE);
    const double pressure = m.captured(4).toDouble(&okP);
    if (!okE || !okP || !std::isfinite(pressure))
        return false;
    if (out)
        *out = Record{m.captured(1), m.captured(2), elapsed, pressure, line};
    return true;
}

QStringList CsvCheck::lines() const
{
    QStringList out;
    for (const Record &r : records)
        out << r.line;
    return out;
}

CsvCheck checkCsvBytes(const QByteArray &bytes, bool allowCutAtPage)
{
    CsvCheck result;
    qsizetype at = 0;
    for (int n = 1; at < bytes.size(); ++n) {
        const qsizetype nl = bytes.indexOf('\n', at);
        const qsizetype end = nl < 0 ? bytes.size() : nl;
        const QString line = QString::fromUtf8(bytes.mid(at, end - at));
        Record r;
        if (nl >= 0 && parseRecord(line, &r))
            result.records << r;
        else if (allowCutAtPage && end % 4096 == 0)
            ++result.cutLines;
        else if (nl < 0)
            result.problems << QStringLiteral("file ends inside a line: \"%1\"").arg(line);
        else
            result.problems << QStringLiteral("line %1 is not a complete record: \"%2\"").arg(n).arg(line);
        at = end + 1;
    }
    return result;
}

CsvCheck checkCsvFile(const QString &path, bool allowCutAtPage)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        CsvCheck c;
        c.problems << QStringLiteral("cannot open %1: %2").arg(path, f.errorString());
        return c;
    }
    return checkCsvBytes(f.readAll(), allowCutAtPage);
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

int lineCount(const QString &path) { return static_cast<int>(fileBytes(path).count('\n')); }

QStringList runCsvFiles(const QDir &dir)
{
    return dir.entryList({QStringLiteral("*_pressure.csv")}, QDir::Files, QDir::Name);
}

QStringList dailyCsvFiles(const QDir &dir)
{
    const QRegularExpression daily(QStringLiteral("^\\d{8}\\.csv$"));
    QStringList out;
    for (const QString &name : dir.entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name))
        if (daily.match(name).hasMatch())
            out << name;
    return out;
}

} // namespace testsupport
