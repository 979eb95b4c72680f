// Strict reading of the CSV files the window writes: one record per line,
// "yyyy-MM-dd;HH:mm:ss;<seconds with 3 decimals>;<pressure>" and a line end,
// and the files of a working directory by kind.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QVector>

namespace testsupport {

struct Record {
    QString date;      // yyyy-MM-dd
    QString time;      // HH:mm:ss
    double elapsed;    // seconds since the start of the run
    double pressure;   // mbar
    QString line;      // the line as written, without its line end
};

struct CsvCheck {
    QVector<Record> records;
    QStringList problems;   // one entry per line that is not a complete record
    int cutLines = 0;       // lines cut at a page boundary (allowed only when asked)
    bool ok() const { return problems.isEmpty(); }
    QStringList lines() const;   // the records' lines, in order
};

// True when `line` (without line end) is exactly one record as the window writes it.
bool parseRecord(const QString &line, Record *out);

// Checks a whole file's bytes: every line a complete record, the last one
// ended. With `allowCutAtPage`, a line cut where it ends at a 4 KiB boundary
// of the file is no problem (the system stops a write there for a fatal
// signal; a later writer may have ended the cut line); the cut piece is not
// a record.
CsvCheck checkCsvBytes(const QByteArray &bytes, bool allowCutAtPage = false);
CsvCheck checkCsvFile(const QString &path, bool allowCutAtPage = false);

// A file's bytes; empty when it cannot be read.
QByteArray fileBytes(const QString &path);
// Writes `content` to `path`, replacing the file; returns `path`. A test that
// cannot write its own input stops there (qFatal).
QString writeFile(const QString &path, const QByteArray &content);
// Number of complete lines in a file (0 when it does not exist).
int lineCount(const QString &path);

// The files of a working directory: run CSVs ("*_pressure.csv") and the
// daily CSV (eight digits + ".csv").
QStringList runCsvFiles(const QDir &dir);
QStringList dailyCsvFiles(const QDir &dir);

} // namespace testsupport
