#include "run_files.h"

#include "record_check.h"
#include "record_line.h"

#include <QDateTime>
#include <QFile>

#include <cmath>

namespace testsupport {

QByteArray recordLines(const QList<QPointF> &points)
{
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    QByteArray bytes;
    bytes.reserve(points.size() * 40);
    for (const QPointF &p : points)
        bytes += records::formatRecordLine(start.addMSecs(std::llround(p.x() * 1000.0)), start, p.y()).toLatin1();
    return bytes;
}

QString writeRun(const QString &path, const QList<QPointF> &points)
{
    return writeFile(path, recordLines(points));
}

bool appendToFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::Append) && f.write(bytes) == bytes.size();
}

QList<QPointF> sampleRun(const std::function<double(double)> &p, int count, double t0, double step)
{
    QList<QPointF> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i)
        points.append(QPointF(t0 + i * step, p(t0 + i * step)));
    return points;
}

} // namespace testsupport
