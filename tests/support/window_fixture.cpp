#include "window_fixture.h"

#include <QTimer>

namespace testsupport {

void resetAppState()
{
    fakelink::reset();
    if (runFile.isOpen())
        runFile.close();
    if (dailyFile.isOpen())
        dailyFile.close();
    runFile.setFileName(QString());
    connected = false;
    loggingEnabled = false;
    tickCount = 0;
    invalidCount = 0;
    runBaseName = QString();
    runStartTime = QDateTime();
}

void stopTimers(MainWindow &w)
{
    for (QTimer *t : w.findChildren<QTimer *>())
        t->stop();
}

std::unique_ptr<MainWindow> quietWindow()
{
    auto w = std::make_unique<MainWindow>();
    stopTimers(*w);
    return w;
}

void displayTick(MainWindow &w)
{
    do {
        w.onTimerTick();
    } while (tickCount % 100 != 0);
}

void displayTickWith(MainWindow &w, const fakelink::Read &read)
{
    while (tickCount % 100 != 99)
        w.onTimerTick();
    fakelink::queueRead(read);
    w.onTimerTick();
}

void connectLink(MainWindow &w)
{
    w.onConnectClicked();
    w.onTimerTick();
    if (tickCount % 100 == 0)
        w.onTimerTick();
}

QStringList stampsBetween(const QDateTime &before, const QDateTime &after)
{
    QStringList stamps;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        stamps << t.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    return stamps;
}

} // namespace testsupport
