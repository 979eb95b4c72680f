// Run CSVs made up for tests and benchmarks: the window's record lines
// (records::formatRecordLine) for points of (elapsed seconds, mbar), the
// date and time counted from a fixed start.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>

#include <functional>

namespace testsupport {

QByteArray recordLines(const QList<QPointF> &points);
// Writes them to `path` (replacing it); returns `path`.
QString writeRun(const QString &path, const QList<QPointF> &points);
// Appends `bytes` to the file at `path` (as a writer that is still going
// would); false when it cannot.
bool appendToFile(const QString &path, const QByteArray &bytes);
// p(t) at t = t0, t0 + step, ... (`count` points).
QList<QPointF> sampleRun(const std::function<double(double)> &p, int count, double t0 = 0.0, double step = 1.0);

} // namespace testsupport
