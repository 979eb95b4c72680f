// Strict reading of the CSV files the tool writes: one record per line,
// "yyyy-MM-dd;HH:mm:ss;<seconds with 3 decimals>;<pressure>" and a line end.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <QVector>

namespace e2e {

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
    bool ok() const { return problems.isEmpty(); }
};

// True when `line` (without line end) is exactly one record as the tool writes it.
bool parseRecord(const QString &line, Record *out);

// Checks a whole file's bytes: every line a complete record, the last one ended.
CsvCheck checkCsvBytes(const QByteArray &bytes);
CsvCheck checkCsvFile(const QString &path);

// Number of complete lines in a file (0 when it does not exist).
int lineCount(const QString &path);

// The files of a working directory: run CSVs ("*_pressure.csv"), the daily
// CSV (eight digits + ".csv") and the chart snapshots.
QStringList runCsvFiles(const QDir &dir);
QStringList dailyCsvFiles(const QDir &dir);
QStringList snapshotFiles(const QDir &dir);

}  // namespace e2e
