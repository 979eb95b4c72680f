// Keeps the pressure link up for a program that nobody watches.
//
// Every 10 ms tick checks the link and exchanges process data, as the window
// does. Once a second the display period decides:
//  - the window's rule (acquisition_rule.h): what is recorded, the status
//    text, and a reconnect after five or more invalid readings in a row;
//  - beyond it, a link that has not passed its health check for a second
//    (no frames come back, the slave left OP) is lost and reconnects too;
//  - a failed connect leaves the link down, and it is tried again later.
// Reconnects are not allowed to hammer a bus that does not recover: after
// each one the next may come only after a wait that doubles from 1 s up to
// 30 s, and that goes back to "at once" with the first good exchange (a
// healthy link and a valid reading). The first reconnect after good data is
// therefore immediate, exactly as in the window.
//
// While a reconnect is not due yet the link stays up and keeps exchanging,
// so a bus that comes back by itself (a cable plugged in again) is used at
// once, without a new bring-up.
#pragma once

#include "acquisition_rule.h"
#include "clock.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace logger {

// One display period of the link, for the record and the status line.
struct LinkReport
{
    bool readOk = false;     // the exchange of this display tick came back
    double mbar = 0.0;       // its pressure, raw / 100 (when readOk)
    bool record = false;     // valid reading on a healthy link: log it
    QString status;          // the window's status texts, or the logger's own
};

class LinkSupervisor
{
public:
    static constexpr qint64 kLinkLostAfterMs = 1000;
    static constexpr qint64 kFirstWaitMs = 1000;
    static constexpr qint64 kLongestWaitMs = 30000;

    using EventSink = std::function<void(const QString &)>;

    LinkSupervisor(QByteArray adapter, const Clock &clock, EventSink events);

    // The connect at start-up: true when the bus came up.
    bool connectFirst();
    // One 10 ms tick: check and exchange while up; a due attempt while down.
    void tick();
    // The display period that ends with the last tick.
    LinkReport display();
    // Takes the link down for good (at exit).
    void shutdown();

    bool up() const { return m_up; }
    // Wait between the next reconnect and the one after it.
    qint64 nextWaitMs() const { return m_waitMs; }

private:
    bool reconnect();
    bool due(qint64 nowMs) const { return nowMs >= m_notBeforeMs; }
    QString secondsUntilDue(qint64 nowMs) const;

    QByteArray m_adapter;
    const Clock &m_clock;
    EventSink m_events;

    bool m_up = false;
    int m_invalidCount = 0;
    qint64 m_lastHealthyMs = 0;
    qint64 m_notBeforeMs = 0;      // no reconnect before this
    qint64 m_waitMs = kFirstWaitMs;

    acquisition::Exchange m_last;   // the last tick's
};

} // namespace logger
