// The headless logger: the link supervisor's display periods turned into
// records in a run CSV and a daily CSV (the window's format, naming and
// write rules, records/run_log.h), a status line a second, and the events a
// service's journal should hold (start, link lost and back, write failures
// and recovery, new runs, stop), each once when it happens.
//
// Files: the run CSV is opened at start and ends only when the program does
// or a new run is asked for (SIGHUP); link trouble never ends it, so a gap
// in the link is a gap in its seconds. The daily CSV is the one of the
// record's own date: at midnight the logger closes one day's file and
// appends to the next day's (the window keeps its start day's file instead;
// a service runs for weeks).
//
// Pacing: the display period is one second of the monotonic clock, counted
// from the start; a period that a blocking reconnect skipped is not made up.
#pragma once

#include "clock.h"
#include "link_supervisor.h"
#include "reading_publisher.h"
#include "run_log.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace logger {

struct LoggerSettings
{
    QByteArray adapter;
    QString outputDir;          // must exist
    qint64 durationMs = -1;     // < 0: until stopped
    bool quiet = false;         // no status lines
};

class PressureLogger
{
public:
    using Sink = std::function<void(const QString &)>;

    // `status` receives one line per display period (unless quiet),
    // `events` the things worth keeping in a journal.
    PressureLogger(LoggerSettings settings, const Clock &clock, Sink status, Sink events);

    // Connects and opens both files: 0 when logging runs, otherwise the
    // exit code (the reason has gone to the events).
    int start();
    // One 10 ms tick; false once the logger has finished (stop asked for,
    // duration reached): then call finish().
    bool tick();
    // Safe to call at any time; take effect at the next tick.
    void requestStop(const QString &why);
    void requestNewRun() { m_newRunRequested = true; }
    bool stopRequested() const { return !m_stopReason.isEmpty(); }
    // Syncs and closes both files, takes the link down; the exit code
    // (1 when a file could not be synced).
    int finish();

    // Each record and the link's state also go to `publisher` (not owned;
    // null: nowhere), which finish() stops.
    void setPublisher(ReadingPublisher *publisher) { m_publisher = publisher; }

    int runRecords() const { return m_runRecords; }
    QString runPath() const { return m_log.runPath(); }
    QString dailyPath() const { return m_log.dailyPath(); }

private:
    void displayPeriod();
    void writeRecord(double mbar);
    bool ensureFiles(const QDateTime &now);
    void newRun();
    QString fileProblems() const;

    LoggerSettings m_settings;
    const Clock &m_clock;
    Sink m_status;
    Sink m_events;
    LinkSupervisor m_link;
    records::RunLog m_log;
    ReadingPublisher *m_publisher = nullptr;

    qint64 m_startMs = 0;
    qint64 m_nextDisplayMs = 0;
    int m_runRecords = 0;
    bool m_newRunRequested = false;
    QString m_stopReason;

    // A run of failed writes to one file: reported when it starts and ends.
    struct WriteHealth
    {
        bool failing = false;
        int lost = 0;   // records not written since it started
    };
    void noteWrite(bool written, WriteHealth &health, const QString &what, const QString &path,
                   const QString &error);

    bool m_runOpenFailing = false;
    bool m_dailyOpenFailing = false;
    WriteHealth m_runWrites;
    WriteHealth m_dailyWrites;
};

} // namespace logger
