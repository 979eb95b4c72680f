// Names of a run's files, all relative to the working directory.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QString>

namespace records {

inline constexpr char kRunStampFormat[] = "yyyy-MM-dd_hh-mm-ss";
inline constexpr char kRunCsvSuffix[] = "_pressure.csv";
inline constexpr char kSnapshotSuffix[] = "_pressure_graph.png";
inline constexpr char kDailyDateFormat[] = "yyyyMMdd";
inline constexpr char kDailySuffix[] = ".csv";

QString runStamp(const QDateTime &start);            // 2024-03-05_14-07-09
QString runCsvName(const QString &baseName);          // base + "_pressure.csv"
QString snapshotName(const QString &baseName);        // base + "_pressure_graph.png"
QString dailyCsvName(const QDate &day);               // 20240305.csv

// The base name for a new run: `stamp` itself when no run CSV of that name
// exists in `dir`, else stamp + "_2", "_3", ... (the first free one), so a
// second start within the same second never empties the earlier run.
QString freeRunBaseName(const QString &stamp, const QDir &dir = QDir());

} // namespace records
