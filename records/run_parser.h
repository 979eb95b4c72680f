// Reads a run CSV (or a daily CSV) back into chart points: x = field 3
// (elapsed seconds), y = field 4 (pressure in mbar), in file order.
//
// A line is skipped when it begins with "timestamp", has fewer than four
// ";"-separated fields, or its third or fourth field is not a finite number
// (see number_syntax.h). Fields after the fourth are ignored. LF and CR LF
// line ends, a UTF-8 byte-order mark at the start and a missing final line
// end are all fine; as in a text-mode read, a CR anywhere is ignored. The
// file is read in 1 MiB blocks, so memory stays at the points plus one block
// whatever the file holds; of a line longer than a block only its first
// block is looked at (its first four fields must end within it).
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

namespace records {

inline constexpr char kHeaderPrefix[] = "timestamp";
inline constexpr qsizetype kReadBlockSize = qsizetype(1) << 20;

struct RunParseResult
{
    enum Status { Ok, OpenFailed, ReadFailed };
    Status status = Ok;
    QString error;            // why the file could not be opened or read
    QList<QPointF> points;    // accepted lines, in file order
    double maxY = 0.0;        // largest y, never below 0
};

// One line without its "\n". `complete` is false for the first block of an
// over-long line: then the fourth field must be followed by a ";" inside it.
bool parseRecordLine(const char *begin, const char *end, QPointF &point, bool complete = true);

RunParseResult parseRunFile(const QString &path);

// The same rules over bytes in memory (tests, fuzzing).
RunParseResult parseRunBytes(const QByteArray &bytes);

// x of the last point truncated toward zero, held inside the int range.
int truncatedX(double x);

} // namespace records
