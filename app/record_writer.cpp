// The record writer: one line per logged reading, to the run CSV and then,
// when it is open, to the daily CSV, each flushed before the tick goes on.
// A record that does not reach a file whole is reported on the logging label
// and in the debug output; the next record is tried as usual, and the label
// returns to "Logging ON" once records go through again. Partial lines are
// cut off again (see records/record_appender.h).
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appstate.h"
#include "record_appender.h"
#include "record_line.h"

#include <QDateTime>
#include <QDebug>

namespace {

records::RecordAppender runAppender;
records::RecordAppender dailyAppender;

} // namespace

void MainWindow::writeLogRecord(double pressureMbar)
{
    const QDateTime now = QDateTime::currentDateTime();
    const QString line = records::formatRecordLine(now, runStartTime, pressureMbar);

    QString error;
    const bool runWritten = runAppender.append(runFile, runStream, line, &error);
    if (!runWritten)
        qWarning().noquote() << "Could not write run CSV" << runFile.fileName() << ":" << error;

    bool dailyWritten = true;
    if (dailyFile.isOpen()) {
        dailyWritten = dailyAppender.append(dailyFile, dailyStream, line, &error);
        if (!dailyWritten)
            qWarning().noquote() << "Could not write daily CSV" << dailyFile.fileName() << ":" << error;
    }

    const QString runFailed = tr("Could not write run CSV");
    const QString dailyFailed = tr("Could not write daily CSV");
    if (!runWritten) {
        ui->loggingStatusLabel->setText(runFailed);
    } else if (!dailyWritten) {
        ui->loggingStatusLabel->setText(dailyFailed);
    } else {
        const QString shown = ui->loggingStatusLabel->text();
        if (shown == runFailed || shown == dailyFailed)
            ui->loggingStatusLabel->setText(tr("Logging ON"));
    }
}
