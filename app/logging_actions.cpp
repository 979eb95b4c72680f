// Start Logging and Stop Logging: naming, opening and closing the run CSV
// and the daily CSV, resetting the chart and saving its snapshot.
//
// Both files are opened unbuffered: every record is flushed at once anyway,
// and it lets the record writer drop a record that failed without leaving
// any of it in a buffer. The run CSV is opened exclusively under a free
// name (a second start within the same second gets "_2", "_3", ...), so an
// earlier run is never emptied. Neither file is opened through a symbolic
// link or when it is not a regular file (records::openRegularFileForWriting).
// Files are synced to the disk when closed.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appstate.h"
#include "chart_axes.h"
#include "durable_file.h"
#include "regular_file.h"
#include "run_log.h"
#include "run_naming.h"

#include <QChartView>
#include <QDateTime>
#include <QDebug>
#include <QLineSeries>
#include <QPixmap>
#include <QSaveFile>
#include <QValueAxis>

namespace {

void closeLogFile(QFile &file, QTextStream &stream, const char *what)
{
    QString error;
    if (!records::closeLogFile(file, stream, &error))
        qWarning().noquote() << "Could not sync" << what << file.fileName() << "to disk:" << error;
}

// Writes the picture through a temporary file that replaces the old one only
// once complete, so a failed save leaves an earlier snapshot intact.
bool saveSnapshot(const QPixmap &picture, const QString &name, QString *error)
{
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    if (picture.isNull() || !picture.save(&file, "PNG")) {
        *error = picture.isNull() ? QStringLiteral("empty picture") : QStringLiteral("PNG encoding failed");
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

void MainWindow::onStartClicked()
{
    closeLogFile(runFile, runStream, "run CSV");

    runBaseName = records::freeRunBaseName(records::runStamp(QDateTime::currentDateTime()));
    runStartTime = QDateTime::currentDateTime();
    runFile.setFileName(records::runCsvName(runBaseName));

    series->clear();
    sampleIndex = 0;
    axisX->setRange(0, chart_axes::kXSpan);
    axisY->setRange(0, chart_axes::kYMaxAtStart);

    QString error;
    if (!records::openRegularFileForWriting(runFile, runFile.fileName(), records::kRunCsvOpenMode, &error)) {
        qWarning().noquote() << "Could not open run CSV" << runFile.fileName() << ":" << error;
        ui->loggingStatusLabel->setText(tr("Could not open run CSV"));
        return;
    }
    if (!dailyFile.isOpen() &&
        !records::openRegularFileForWriting(dailyFile, dailyFile.fileName(), records::kDailyCsvOpenMode, &error)) {
        qWarning().noquote() << "Could not open daily CSV" << dailyFile.fileName() << ":" << error;
        ui->loggingStatusLabel->setText(tr("Could not open daily CSV"));
        return;
    }
    if (!records::terminateLastLine(dailyFile, &error))
        qWarning().noquote() << "Could not check the end of daily CSV" << dailyFile.fileName() << ":" << error;
    loggingEnabled = true;
    ui->loggingStatusLabel->setText(tr("Logging ON"));
}

void MainWindow::onStopClicked()
{
    loggingEnabled = false;
    closeLogFile(runFile, runStream, "run CSV");
    closeLogFile(dailyFile, dailyStream, "daily CSV");

    const QPixmap picture = chartView->grab(QRect(QPoint(0, 0), QSize(-1, -1)));
    const QString name = records::snapshotName(runBaseName);
    QString error;
    if (saveSnapshot(picture, name, &error)) {
        ui->loggingStatusLabel->setText(tr("Logging OFF, graph saved"));
    } else {
        qWarning().noquote() << "Could not save chart snapshot" << name << ":" << error;
        ui->loggingStatusLabel->setText(tr("Logging OFF, graph not saved"));
    }
}
