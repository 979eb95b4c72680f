// Helpers shared by the logging tests: a window with its timer stopped, so
// that ticks run only when a test calls them, and display ticks on demand.
#pragma once

#include "appstate.h"
#include "fakelink.h"
#include "mainwindow.h"

#include <QDateTime>
#include <QFile>
#include <QStringList>
#include <QTimer>

namespace logtest {

inline void stopTimer(MainWindow &w)
{
    for (QTimer *t : w.findChildren<QTimer *>())
        t->stop();
}

// Runs ticks up to and including the next display tick.
inline void displayTick(MainWindow &w)
{
    do {
        w.onTimerTick();
    } while (tickCount % 100 != 0);
}

// A display tick whose own read is `read` (the ticks before it read the
// default).
inline void displayTickWith(MainWindow &w, const fakelink::Read &read)
{
    while (tickCount % 100 != 99)
        w.onTimerTick();
    fakelink::queueRead(read);
    w.onTimerTick();
}

// Connects through the stand-in and leaves the next display tick's check
// seeing a good working counter.
inline void connectLink(MainWindow &w)
{
    w.onConnectClicked();
    w.onTimerTick();
    if (tickCount % 100 == 0)
        w.onTimerTick();
}

// Run stamps that a Start Logging between `before` and `after` may give.
inline QStringList stampsBetween(const QDateTime &before, const QDateTime &after)
{
    QStringList stamps;
    for (QDateTime t = before.addMSecs(-before.time().msec()); t <= after; t = t.addSecs(1))
        stamps << t.toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    return stamps;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace logtest
