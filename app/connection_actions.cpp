// The Connect action and the 10 ms acquisition tick: bring the link up,
// exchange process data on every tick, and once per display period show the
// pressure, log a valid reading, report the link's health, or reconnect after
// a run of invalid readings.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appstate.h"
#include "live_chart.h"
#include "pressure_link.h"
#include "tick_counter.h"

#include <QDebug>

#include <climits>

namespace {

// The adapter name stored with the combo box's current item, as UTF-8; empty
// when there is no item.
QByteArray selectedAdapter(const Ui::MainWindow *ui)
{
    return ui->adapterComboBox->currentData(Qt::UserRole).toString().toUtf8();
}

}  // namespace

void MainWindow::onConnectClicked()
{
    const QByteArray name = selectedAdapter(ui);
    if (ecat_connect(name.constData())) {
        connected = true;
        ui->statusLabel->setText(tr("Connected"));
    } else {
        connected = false;
        ui->statusLabel->setText(tr("Connection failed"));
    }
}

void MainWindow::onTimerTick()
{
    tickCount = tick_counter::next(tickCount);
    const bool displayTick = tick_counter::isDisplayTick(tickCount);

    int state = 0;
    int wkc = 0;
    float pressure = 0.0f;
    int valid = 0;
    int over = 0;
    int under = 0;

    // The check comes before the read, so it sees the previous exchange's
    // working counter.
    const int checkOk = ecat_check(&state, &wkc);
    if (!connected)
        return;

    if (!ecat_read(&pressure, &valid, &over, &under)) {
        if (displayTick)
            ui->statusLabel->setText(tr("EtherCAT read failed"));
        return;
    }

    if (valid == 1)
        invalidCount = 0;
    else if (invalidCount < INT_MAX)
        ++invalidCount;

    if (!displayTick)
        return;

    const double mbar = double(pressure) / 100.0;
    ui->pressureLabel->setText(tr("%1 mbar").arg(mbar, 0, 'f', 3));

    if (loggingEnabled && runFile.isOpen() && checkOk && valid == 1) {
        writeLogRecord(mbar);
        appendLivePoint(series, axisX, axisY, sampleIndex, mbar);
    }

    if (invalidCount >= tick_counter::kReconnectAfterInvalid) {
        ui->statusLabel->setText(tr("Auto reconnecting..."));
        ecat_disconnect();
        const QByteArray name = selectedAdapter(ui);
        if (ecat_connect(name.constData())) {
            connected = true;
            invalidCount = 0;
            ui->statusLabel->setText(tr("Reconnected"));
        } else {
            connected = false;
            ui->statusLabel->setText(tr("Reconnect failed"));
        }
    } else if (checkOk && valid == 1) {
        ui->statusLabel->setText(tr("Connected, valid pressure"));
    } else if (checkOk) {
        qDebug() << "INVALID PRESSURE" << "pressure=" << pressure << "valid=" << valid
                 << "over=" << over << "under=" << under;
        ui->statusLabel->setText(tr("Connected, pressure invalid"));
    } else {
        qDebug() << "ETHERCAT ISSUE" << "state=" << state << "wkc=" << wkc;
        ui->statusLabel->setText(
            tr("EtherCAT issue: state=0x%1 WKC=%2").arg(state, 0, 16).arg(wkc, 0, 10));
    }
}
