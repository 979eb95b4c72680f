// The two log files of a logging program, with the window's rules: a run CSV
// opened exclusively under a free name ("_2", "_3", ... within one second),
// a daily CSV opened for appending whose cut last line (from a process killed
// mid-record) is ended first, both unbuffered so that a record is handed to
// the system whole, each record appended without ever leaving a partial line
// (RecordAppender), and both synced to the disk when closed.
#pragma once

#include "record_appender.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTextStream>

namespace records {

inline constexpr QIODevice::OpenMode kRunCsvOpenMode =
    QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered | QIODevice::NewOnly;
inline constexpr QIODevice::OpenMode kDailyCsvOpenMode =
    QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered;

// Flushes the stream, syncs the file to the disk and closes it; true when it
// was not open. False with `error` (when not null) set to why the sync
// failed; the file is closed all the same.
bool closeLogFile(QFile &file, QTextStream &stream, QString *error);

class RunLog
{
public:
    explicit RunLog(const QDir &dir);
    ~RunLog();
    RunLog(const RunLog &) = delete;
    RunLog &operator=(const RunLog &) = delete;

    // Opens a new, empty run CSV named after `start` in the folder. A run
    // still open is closed first (call closeRun before to see whether its
    // sync succeeded). False with `error` set when the file cannot be
    // created; then no run is open.
    bool startRun(const QDateTime &start, QString *error);

    // Makes the daily CSV of `day` the open one (appending; a missing file
    // is created); nothing to do when it already is. The daily CSV of
    // another day, if open, is closed first (call closeDaily before to see
    // its sync's result). False with `error` set when it cannot be opened;
    // then no daily CSV is open.
    bool openDaily(const QDate &day, QString *error);

    struct WriteResult {
        bool runWritten = true;
        bool dailyWritten = true;   // also true when no daily CSV is open
        QString runError;
        QString dailyError;
    };
    // One record taken at `now` to the run CSV, then the same line to the
    // daily CSV when it is open. A run CSV must be open.
    WriteResult write(const QDateTime &now, double mbar);

    // Sync to the disk and close; true when there was nothing to close.
    bool closeRun(QString *error);
    bool closeDaily(QString *error);

    bool runOpen() const { return m_run.isOpen(); }
    bool dailyOpen() const { return m_daily.isOpen(); }
    QString runPath() const { return m_run.fileName(); }
    QString dailyPath() const { return m_daily.fileName(); }
    QString runBaseName() const { return m_runBaseName; }
    QDateTime runStart() const { return m_runStart; }
    QDate dailyDay() const { return m_dailyDay; }

private:
    QDir m_dir;
    QFile m_run;
    QFile m_daily;
    QTextStream m_runStream{&m_run};
    QTextStream m_dailyStream{&m_daily};
    RecordAppender m_runAppender;
    RecordAppender m_dailyAppender;
    QString m_runBaseName;
    QDateTime m_runStart;
    QDate m_dailyDay;
};

} // namespace records
