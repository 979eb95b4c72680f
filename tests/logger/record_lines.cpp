#include "record_lines.h"

#include "record_line.h"
#include "run_parser.h"

#include <QDateTime>
#include <QFile>

#include <cmath>

namespace loggertest {

namespace {

constexpr qsizetype kPage = 4096;

// The line the record function writes for the fields `line` holds, or an
// empty string when the fields cannot be read.
QByteArray rewritten(const QByteArray &line, double *elapsed)
{
    const QList<QByteArray> f = line.split(';');
    if (f.size() != 4)
        return QByteArray();
    const QDate date = QDate::fromString(QString::fromLatin1(f[0]), QStringLiteral("yyyy-MM-dd"));
    const QTime time = QTime::fromString(QString::fromLatin1(f[1]), QStringLiteral("HH:mm:ss"));
    bool okE = false, okP = false;
    *elapsed = f[2].toDouble(&okE);
    const double mbar = f[3].toDouble(&okP);
    if (!date.isValid() || !time.isValid() || !okE || !okP)
        return QByteArray();
    const QDateTime now(date, time);
    const QDateTime start = now.addMSecs(-qint64(std::llround(*elapsed * 1000.0)));
    return records::formatRecordLine(now, start, mbar).toUtf8();
}

} // namespace

RecordFile readRecords(const QString &path, bool allowCutAtPage)
{
    RecordFile result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.problems << path + QStringLiteral(": ") + file.errorString();
        return result;
    }
    const QByteArray bytes = file.readAll();
    qsizetype at = 0;
    while (at < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', at);
        const qsizetype end = nl < 0 ? bytes.size() : nl;
        const QByteArray line = bytes.mid(at, end - at);
        double elapsed = 0.0;
        if (nl >= 0 && rewritten(line, &elapsed) == line + '\n') {
            result.lines << line;
            result.elapsed << elapsed;
        } else if (allowCutAtPage && end % kPage == 0) {
            ++result.cutLines;
        } else {
            result.problems << QStringLiteral("%1, byte %2: not a whole record: \"%3\"")
                                   .arg(path).arg(at).arg(QString::fromUtf8(line.left(80)));
        }
        at = end + 1;
    }
    if (result.ok() && result.cutLines == 0) {
        const records::RunParseResult parsed = records::parseRunBytes(bytes);
        if (parsed.points.size() != result.lines.size())
            result.problems << QStringLiteral("%1: the run parser took %2 of %3 records")
                                   .arg(path).arg(parsed.points.size()).arg(result.lines.size());
        for (int i = 0; i < parsed.points.size() && i < result.elapsed.size(); ++i) {
            if (parsed.points[i].x() != result.elapsed[i])
                result.problems << QStringLiteral("%1: record %2 parsed at x=%3").arg(path).arg(i).arg(parsed.points[i].x());
        }
    }
    return result;
}

} // namespace loggertest
