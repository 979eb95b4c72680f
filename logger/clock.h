// The two clocks the logger reads: a monotonic one that paces the ticks,
// the display periods and the reconnect waits, and the local wall time that
// goes into the records and the file names. Tests put in their own.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>

namespace logger {

class Clock
{
public:
    virtual ~Clock() = default;
    virtual qint64 monotonicMs() const = 0;   // never goes back
    virtual QDateTime now() const = 0;        // local date and time
};

class SystemClock : public Clock
{
public:
    SystemClock() { m_started.start(); }
    qint64 monotonicMs() const override { return m_started.elapsed(); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }

private:
    QElapsedTimer m_started;
};

} // namespace logger
