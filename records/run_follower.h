// Reads a run CSV that another program may still be appending to (the
// window's logging, the logging service): the first read takes the whole
// file, each later read only the bytes added since. Lines are taken with the
// rules of parseRunFile (run_parser.h): the same lines accepted, the same
// points, the same judgement of a line longer than a read block, whatever
// pieces the file arrives in.
//
// A last line without its line end is held back until its end arrives: a
// writer may be half-way through it. pendingPoint() reads it as it stands,
// as parseRunFile would, for a file that is not expected to grow.
//
// A file that got shorter than its whole lines read so far, whose first
// bytes changed, or whose path now names another file (a new file moved in
// place) is read again from its start. A held-back line that is cut back
// (a writer taking out a record it could not write whole) is only forgotten.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPointF>
#include <QString>

namespace records {

struct FollowUpdate
{
    enum Kind { Unchanged, Appended, Reloaded, Failed };
    Kind kind = Unchanged;
    // Appended: the points of the lines completed since the last read.
    // Reloaded: every point of the file as it is now.
    QList<QPointF> points;
    // Reloaded: why, as a phrase ("got shorter", "was replaced by another
    // file", "was rewritten from its start"). Failed: the error.
    QString reason;
};

class RunFollower
{
public:
    // Opens `path` (openRegularFileForReading: no symbolic link, a regular
    // file only) and reads nothing yet. False with `error` set otherwise.
    bool open(const QString &path, QString *error);

    // What the file gained (or became) since the last read.
    FollowUpdate read();

    // The held-back last line read as a complete line; false when there is
    // none or it is not a record.
    bool pendingPoint(QPointF *point) const;
    // Bytes of a last line still waiting for its end.
    qsizetype pendingBytes() const { return m_tail.size(); }
    // Bytes of the file taken so far, the held-back line included.
    qint64 offset() const { return m_offset; }
    QString path() const { return m_path; }

private:
    void rewind();
    QString whyReload(QString *error);
    bool readAppended(QList<QPointF> &points, QString *error);
    void takeLines(const char *begin, const char *end, QList<QPointF> &points);

    QString m_path;
    QFile m_file;
    qint64 m_offset = 0;       // bytes of the file consumed (lines and tail)
    QByteArray m_tail;         // a last line without its line end
    QByteArray m_head;         // the file's first bytes, to tell a rewrite
    bool m_bomChecked = false;
    bool m_skippingLongLine = false;
};

} // namespace records
