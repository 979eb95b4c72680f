// Reads a run CSV or daily CSV that the logger wrote and checks every line
// against the window's record function: a line must be byte for byte what
// records::formatRecordLine writes for the date, time, elapsed time and
// pressure it holds, and the run parser must take each record back.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace loggertest {

struct RecordFile
{
    QList<QByteArray> lines;   // the records, without their line ends
    QList<double> elapsed;     // field 3 of each
    int cutLines = 0;          // lines cut at a page boundary (allowed only when asked)
    QStringList problems;
    bool ok() const { return problems.isEmpty(); }
};

// With `allowCutAtPage`, a line that is not a whole record is accepted when
// it ends at a 4 KiB boundary of the file: where the system cuts a write
// when the writer is killed with SIGKILL. It is not in `lines`.
RecordFile readRecords(const QString &path, bool allowCutAtPage = false);

} // namespace loggertest
