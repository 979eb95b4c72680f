#include "chart_export.h"

#include "pressure_chart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>

namespace viewer {

namespace {

// A user-named output is written in its own place, never through a link.
bool refuseLink(const QString &path, QString *error)
{
    if (!QFileInfo(path).isSymLink())
        return false;
    *error = QStringLiteral("%1: is a symbolic link; name the file itself").arg(path);
    return true;
}

bool commit(QSaveFile &file, const QString &path, QString *error)
{
    if (file.commit())
        return true;
    *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return false;
}

} // namespace

QImage renderChart(PressureChart &chart, const QSize &size)
{
    chart.resize(size);
    chart.show();
    // Lay the chart out at its size, then draw the runs into that layout.
    QCoreApplication::processEvents();
    chart.redrawNow();
    QCoreApplication::processEvents();
    return grabChart(chart);
}

QImage grabChart(PressureChart &chart)
{
    chart.redrawNow();
    // The legend and the axes lay themselves out in posted events.
    QCoreApplication::processEvents();
    return chart.grab().toImage();
}

bool savePng(const QImage &image, const QString &path, QString *error)
{
    if (refuseLink(path, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        *error = QStringLiteral("%1: the image could not be written as PNG").arg(path);
        return false;
    }
    return commit(file, path, error);
}

bool saveJson(const QJsonObject &json, const QString &path, QString *error)
{
    if (refuseLink(path, error))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QJsonDocument(json).toJson(QJsonDocument::Indented));
    return commit(file, path, error);
}

QString jsonBeside(const QString &png)
{
    const QFileInfo info(png);
    const QString base = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    return info.dir().filePath(base + QStringLiteral(".json"));
}

} // namespace viewer
