// Checks that a log file holds complete records only.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRegularExpression>

namespace logtest {

// Complete lines of a log file; `ok` is false if any line is not a whole
// record or the file does not end with a line end (with `allowCutAtPage`:
// unless it ends at a 4 KiB boundary).
inline QList<QByteArray> wholeRecords(const QByteArray &content, bool &ok, QByteArray &bad,
                                      bool allowCutAtPage = false)
{
    static const QRegularExpression record(QStringLiteral(
        "^\\d{4}-\\d\\d-\\d\\d;\\d\\d:\\d\\d:\\d\\d;\\d+\\.\\d{3};-?\\d+(\\.\\d+)?(e[+-]\\d\\d+)?$"));
    // A kill in the middle of a write may cut the record being written, but
    // only where the system cuts writes for a fatal signal: at a page
    // boundary. Any other tail is a fault.
    ok = content.isEmpty() || content.endsWith('\n') || (allowCutAtPage && content.size() % 4096 == 0);
    if (!ok)
        bad = "tail at " + QByteArray::number(content.size()) + ": " + content.right(80);
    QList<QByteArray> lines = content.split('\n');
    lines.removeLast(); // after the final line end (or the partial tail)
    for (const QByteArray &line : lines) {
        if (!record.match(QString::fromLatin1(line)).hasMatch()) {
            ok = false;
            bad = line.left(120);
            break;
        }
    }
    return lines;
}

} // namespace logtest
