// The Connect action and the 10 ms acquisition tick: bring the link up,
// exchange process data on every tick, and once per display period show the
// pressure, log a valid reading, report the link's health, or reconnect after
// a run of invalid readings. What a tick's check and read mean is the
// acquisition rule's (acquisition_rule.h); this file carries it out on the
// window.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appstate.h"
#include "live_chart.h"
#include "pressure_link.h"
#include "rule_texts.h"
#include "tick_counter.h"

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

    // The check comes before the read, so it sees the previous exchange's
    // working counter.
    acquisition::Exchange x;
    x.checkOk = ecat_check(&x.state, &x.wkc);
    if (!connected)
        return;

    x.readOk = ecat_read(&x.pressure, &x.valid, &x.over, &x.under);
    invalidCount = acquisition::countInvalid(invalidCount, x);
    if (!displayTick)
        return;

    const acquisition::Outcome outcome = acquisition::decide(x, invalidCount);
    if (outcome.reading) {
        ui->pressureLabel->setText(tr("%1 mbar").arg(outcome.mbar, 0, 'f', 3));
        if (loggingEnabled && runFile.isOpen() && outcome.record) {
            writeLogRecord(outcome.mbar);
            appendLivePoint(series, axisX, axisY, sampleIndex, outcome.mbar);
        }
    }

    if (outcome.reconnect) {
        ui->statusLabel->setText(acquisition::statusText(acquisition::Status::AutoReconnecting));
        ecat_disconnect();
        const QByteArray name = selectedAdapter(ui);
        connected = ecat_connect(name.constData()) != 0;
        const acquisition::AfterReconnect after = acquisition::afterReconnect(connected, invalidCount);
        invalidCount = after.invalidCount;
        ui->statusLabel->setText(acquisition::statusText(after.status));
        return;
    }
    acquisition::emitDebug(outcome.debug);
    ui->statusLabel->setText(acquisition::statusText(outcome));
}
