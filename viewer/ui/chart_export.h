// Writing what the viewer shows: the chart as a PNG image and a test's
// numbers as JSON, each written whole or not at all (QSaveFile).
#pragma once

#include <QImage>
#include <QJsonObject>
#include <QSize>
#include <QString>

namespace viewer {

class PressureChart;

// The chart drawn at `size` pixels (it is resized and shown first: under
// the offscreen platform nothing reaches a screen).
QImage renderChart(PressureChart &chart, const QSize &size);
// The chart as it is on screen.
QImage grabChart(PressureChart &chart);

bool savePng(const QImage &image, const QString &path, QString *error);
bool saveJson(const QJsonObject &json, const QString &path, QString *error);
// `png` with its suffix replaced by ".json" (or ".json" added).
QString jsonBeside(const QString &png);

} // namespace viewer
