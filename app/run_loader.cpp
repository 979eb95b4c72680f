// Load Graph: a run CSV chosen in a file dialog refills the chart. The file
// is parsed into points in one pass (records/run_parser.h) and handed to the
// series at once; the chart keeps what it shows when the file cannot be read.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "chart_axes.h"
#include "run_parser.h"

#include <QApplication>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineSeries>
#include <QValueAxis>

namespace {

// Files from this size on show a busy cursor while they load (about
// 100,000 records).
constexpr qint64 kBusyCursorBytes = qint64(4) << 20;

class BusyCursor
{
public:
    explicit BusyCursor(bool on) : m_on(on)
    {
        if (m_on)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~BusyCursor()
    {
        if (m_on)
            QApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool m_on;
};

} // namespace

void MainWindow::onLoadRunClicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Load pressure run"), QString(),
                                                      tr("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    loadRun(path);
}

void MainWindow::loadRun(const QString &path)
{
    const BusyCursor busy(QFileInfo(path).size() >= kBusyCursorBytes);
    const records::RunParseResult run = records::parseRunFile(path);
    if (run.status != records::RunParseResult::Ok) {
        qWarning().noquote() << "Could not open run:" << run.error;
        ui->statusLabel->setText(tr("Could not open run"));
        return;
    }
    if (run.points.isEmpty()) {
        series->clear();
        ui->statusLabel->setText(tr("No valid data in run"));
        return;
    }
    // Empty the series and set the ranges before the points go in: with the
    // default (raster) drawing every change of points or ranges rebuilds the
    // line's geometry over all points, so it is built once, not three times.
    sampleIndex = records::truncatedX(run.points.constLast().x());
    series->clear();
    axisX->setRange(0, sampleIndex);
    axisY->setRange(0, run.maxY + chart_axes::kYHeadroom);
    series->replace(run.points);
    ui->statusLabel->setText(tr("Run loaded"));
}
