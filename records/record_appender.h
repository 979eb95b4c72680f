// Appends whole record lines to one log file and never leaves a partial
// line behind, so a record written after a failure never glues onto the
// remains of the one that failed.
//
// How: the file is opened unbuffered (QIODevice::Unbuffered), so QTextStream's
// flush hands the whole line to the system at once and, whether that succeeds
// or not, neither QTextStream nor QFile keeps any of it (QTextStream empties
// its write buffer before writing; an unbuffered QFile has none). If the
// system took only part of the line (disk full), the file is cut back to the
// size it had before the record. Should even that fail, the cut is retried
// before the next record, and no record is written until it succeeds.
#pragma once

#include <QFile>
#include <QString>
#include <QTextStream>

namespace records {

class RecordAppender
{
public:
    // Writes `line` (ending with "\n") through `stream`, which is bound to
    // `file`, and flushes it. False when the line did not reach the file
    // whole; `error` (if given) then says why. The stream's status is reset
    // either way, so the next record is tried as usual.
    bool append(QFile &file, QTextStream &stream, const QString &line, QString *error = nullptr);

    // True while a partial line could not be removed yet.
    bool hasPendingCut() const { return m_cleanSize >= 0; }

private:
    bool cutBack(QFile &file, qint64 size, QString *error);

    QString m_dirtyFile;     // file holding a partial line not yet removed
    qint64 m_cleanSize = -1; // its size before that line
};

} // namespace records
