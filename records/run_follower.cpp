#include "run_follower.h"

#include "regular_file.h"
#include "run_parser.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace records {

namespace {

constexpr unsigned char kBom[] = {0xef, 0xbb, 0xbf};
constexpr qsizetype kBomSize = sizeof(kBom);
// Enough of the file's start to tell it was written again from scratch: a
// record holds the date and time of day.
constexpr qsizetype kHeadBytes = 64;

} // namespace

bool RunFollower::open(const QString &path, QString *error)
{
    m_path = path;
    m_file.close();
    rewind();
    return openRegularFileForReading(m_file, path, error);
}

void RunFollower::rewind()
{
    m_offset = 0;
    m_tail.clear();
    m_head.clear();
    m_bomChecked = false;
    m_skippingLongLine = false;
}

// Why what was read no longer stands for the file: empty when it still does.
QString RunFollower::whyReload(QString *error)
{
#ifndef _WIN32
    struct stat opened {};
    struct stat named {};
    if (::fstat(m_file.handle(), &opened) != 0) {
        *error = QStringLiteral("%1: %2").arg(m_path, QString::fromLocal8Bit(std::strerror(errno)));
        return QString();
    }
    // A path that is gone leaves the open file to read; one that names
    // another file now is followed to it.
    if (::lstat(QFile::encodeName(m_path).constData(), &named) == 0
        && (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)) {
        m_file.close();
        rewind();
        if (!openRegularFileForReading(m_file, m_path, error))
            return QString();
        return QStringLiteral("was replaced by another file");
    }
    const qint64 size = qint64(opened.st_size);
#else
    const qint64 size = m_file.size();
#endif
    if (size < m_offset) {
        const qint64 linesEnd = m_offset - m_tail.size();
        if (size < linesEnd || m_skippingLongLine) {
            rewind();
            return QStringLiteral("got shorter");
        }
        // Only the unended last line was cut back (a writer that could not
        // write a record whole takes it out again): wait for what comes.
        m_tail.truncate(qsizetype(size - linesEnd));
        m_head.truncate(qsizetype(std::min<qint64>(m_head.size(), size)));
        m_offset = size;
    }
    if (!m_head.isEmpty()) {
        QByteArray now(m_head.size(), Qt::Uninitialized);
        if (!m_file.seek(0) || m_file.read(now.data(), now.size()) != now.size() || now != m_head) {
            rewind();
            return QStringLiteral("was rewritten from its start");
        }
    }
    return QString();
}

FollowUpdate RunFollower::read()
{
    FollowUpdate update;
    QString error;
    QString why;
    if (!m_file.isOpen()) {
        // The path named something that could not be opened the last time.
        rewind();
        if (!openRegularFileForReading(m_file, m_path, &error)) {
            update.kind = FollowUpdate::Failed;
            update.reason = error;
            return update;
        }
        why = QStringLiteral("was replaced by another file");
    } else {
        why = whyReload(&error);
    }
    if (error.isEmpty())
        readAppended(update.points, &error);
    if (!error.isEmpty()) {
        update.kind = FollowUpdate::Failed;
        update.reason = error;
        update.points.clear();
    } else if (!why.isEmpty()) {
        update.kind = FollowUpdate::Reloaded;
        update.reason = why;
    } else if (!update.points.isEmpty()) {
        update.kind = FollowUpdate::Appended;
    }
    return update;
}

bool RunFollower::readAppended(QList<QPointF> &points, QString *error)
{
    if (!m_file.seek(m_offset)) {
        *error = QStringLiteral("%1: %2").arg(m_path, m_file.errorString());
        return false;
    }
    const bool fromStart = m_offset == 0;
    const qint64 size = m_file.size();
    std::unique_ptr<char[]> block(new char[size_t(kReadBlockSize)]);
    char *const buf = block.get();
    bool reserved = !fromStart;
    for (;;) {
        qsizetype have = m_tail.size();
        std::memcpy(buf, m_tail.constData(), size_t(have));
        m_tail.clear();
        const qint64 n = m_file.read(buf + have, kReadBlockSize - have);
        if (n <= 0) {
            m_tail = QByteArray(buf, have);
            if (n < 0) {
                *error = QStringLiteral("%1: %2").arg(m_path, m_file.errorString());
                return false;
            }
            break;
        }
        if (m_head.size() < kHeadBytes && m_offset < kHeadBytes)
            m_head.append(buf + have, qsizetype(std::min<qint64>(n, kHeadBytes - m_offset)));
        m_offset += n;
        have += qsizetype(n);
        const char *p = buf;
        const char *end = buf + have;
        if (!m_bomChecked) {
            if (have < kBomSize) {
                m_tail = QByteArray(buf, have);
                continue;
            }
            m_bomChecked = true;
            if (std::memcmp(p, kBom, kBomSize) == 0)
                p += kBomSize;
        }
        takeLines(p, end, points);
        if (!reserved && !points.isEmpty()) {
            // The rest of the file by the points per byte of this block.
            reserved = true;
            const double perByte = double(points.size()) / double(m_offset);
            points.reserve(qsizetype(double(size) * perByte * 1.05) + 64);
        }
    }
    if (fromStart && points.capacity() > points.size() + points.size() / 4 + 1024)
        points.squeeze();
    return true;
}

// Takes the whole lines of [begin, end) and keeps the rest as the tail; a
// block that holds no line end is one line too long to wait for: judged by
// what it holds, the rest of it skipped up to its end (as parseRunFile does).
void RunFollower::takeLines(const char *begin, const char *end, QList<QPointF> &points)
{
    const char *p = begin;
    QPointF point;
    while (const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))) {
        if (m_skippingLongLine)
            m_skippingLongLine = false;
        else if (parseRecordLine(p, nl, point))
            points.append(point);
        p = nl + 1;
    }
    const qsizetype rest = end - p;
    if (m_skippingLongLine)
        return;
    if (rest == kReadBlockSize) {
        if (parseRecordLine(p, end, point, false))
            points.append(point);
        m_skippingLongLine = true;
        return;
    }
    m_tail = QByteArray(p, rest);
}

bool RunFollower::pendingPoint(QPointF *point) const
{
    if (m_tail.isEmpty() || m_skippingLongLine)
        return false;
    return parseRecordLine(m_tail.constData(), m_tail.constData() + m_tail.size(), *point);
}

} // namespace records
