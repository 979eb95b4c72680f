#include "run_parser.h"

#include "number_syntax.h"
#include "regular_file.h"

#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

namespace records {

namespace {

constexpr char kSeparator = ';';
constexpr unsigned char kBom[] = {0xef, 0xbb, 0xbf};
constexpr qsizetype kBomSize = sizeof(kBom);
constexpr qsizetype kHeaderLength = sizeof(kHeaderPrefix) - 1;
constexpr qsizetype kShortestRecord = 6; // ";;1;2\n"

inline const char *findChar(const char *p, const char *end, char c)
{
    return static_cast<const char *>(std::memchr(p, c, size_t(end - p)));
}

bool startsWithBom(const char *p, qsizetype size)
{
    return size >= kBomSize && std::memcmp(p, kBom, kBomSize) == 0;
}

// Collects points and keeps the list's capacity close to what the file
// needs: after the first block the rest is estimated from the bytes per line.
class PointSink
{
public:
    explicit PointSink(RunParseResult &result, qint64 totalBytes)
        : m_result(result), m_totalBytes(totalBytes) {}

    void line(const char *begin, const char *end, bool complete = true)
    {
        ++m_lines;
        QPointF point;
        if (!parseRecordLine(begin, end, point, complete))
            return;
        m_result.points.append(point);
        if (point.y() > m_result.maxY)
            m_result.maxY = point.y();
    }

    void blockDone(qint64 bytesSoFar)
    {
        if (m_reserved || m_lines == 0 || m_totalBytes <= 0)
            return;
        m_reserved = true;
        const double perLine = double(bytesSoFar) / double(m_lines);
        qint64 estimate = qint64(double(m_totalBytes) / perLine * 1.05) + 64;
        estimate = std::min<qint64>(estimate, m_totalBytes / kShortestRecord + 1);
        if (estimate > m_result.points.size())
            m_result.points.reserve(qsizetype(estimate));
    }

    void finish()
    {
        QList<QPointF> &points = m_result.points;
        if (points.capacity() > points.size() + points.size() / 4 + 1024)
            points.squeeze();
    }

private:
    RunParseResult &m_result;
    qint64 m_totalBytes;
    qint64 m_lines = 0;
    bool m_reserved = false;
};

// Reading in text mode drops every CR, not only those before a line end; a
// field or the header word with a CR inside reads as if it were not there.
bool startsWithHeader(const char *begin, const char *end)
{
    qsizetype matched = 0;
    for (const char *p = begin; p < end && matched < kHeaderLength; ++p) {
        if (*p == '\r')
            continue;
        if (*p != kHeaderPrefix[matched])
            return false;
        ++matched;
    }
    return matched == kHeaderLength;
}

bool parseField(const char *begin, const char *end, double &value)
{
    if (parseFiniteNumber(begin, end, value))
        return true;
    // Rare: a CR inside the field (a trailing one is white space anyway).
    if (!std::memchr(begin, '\r', size_t(end - begin)))
        return false;
    std::string text;
    text.reserve(size_t(end - begin));
    for (const char *p = begin; p < end; ++p) {
        if (*p != '\r')
            text.push_back(*p);
    }
    return parseFiniteNumber(text.data(), text.data() + text.size(), value);
}

} // namespace

bool parseRecordLine(const char *begin, const char *end, QPointF &point, bool complete)
{
    if (startsWithHeader(begin, end))
        return false;
    const char *s1 = findChar(begin, end, kSeparator);
    if (!s1)
        return false;
    const char *s2 = findChar(s1 + 1, end, kSeparator);
    if (!s2)
        return false;
    const char *s3 = findChar(s2 + 1, end, kSeparator);
    if (!s3)
        return false;
    const char *s4 = findChar(s3 + 1, end, kSeparator);
    if (!s4) {
        if (!complete)
            return false; // the fourth field may go on past what we have
        s4 = end;
    }
    double x = 0.0;
    double y = 0.0;
    if (!parseField(s2 + 1, s3, x) || !parseField(s3 + 1, s4, y))
        return false;
    point = QPointF(x, y);
    return true;
}

int truncatedX(double x)
{
    if (!(x > std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (!(x < std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return int(std::trunc(x));
}

RunParseResult parseRunBytes(const QByteArray &bytes)
{
    RunParseResult result;
    PointSink sink(result, bytes.size());
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    if (startsWithBom(p, bytes.size()))
        p += kBomSize;
    while (p < end) {
        const char *nl = findChar(p, end, '\n');
        const char *lineEnd = nl ? nl : end;
        sink.line(p, lineEnd);
        p = nl ? nl + 1 : end;
    }
    sink.finish();
    return result;
}

RunParseResult parseRunFile(const QString &path)
{
    RunParseResult result;
    QFile file;
    if (!openRegularFileForReading(file, path, &result.error)) {
        result.status = RunParseResult::OpenFailed;
        return result;
    }
    PointSink sink(result, file.size());
    std::unique_ptr<char[]> block(new char[size_t(kReadBlockSize)]);
    char *const buf = block.get();
    qsizetype have = 0;       // bytes in buf not yet consumed
    qint64 consumed = 0;      // bytes of the file consumed so far
    bool bomChecked = false;
    bool skippingLongLine = false; // discarding the rest of an over-long line

    for (;;) {
        const qint64 n = file.read(buf + have, kReadBlockSize - have);
        if (n < 0) {
            result.status = RunParseResult::ReadFailed;
            result.error = file.errorString();
            result.points.clear();
            result.maxY = 0.0;
            return result;
        }
        const bool atEnd = (n == 0);
        have += qsizetype(n);
        const char *p = buf;
        const char *end = buf + have;
        if (!bomChecked && (have >= kBomSize || atEnd)) {
            bomChecked = true;
            if (startsWithBom(p, have))
                p += kBomSize;
        }
        if (!bomChecked)
            continue;

        while (const char *nl = findChar(p, end, '\n')) {
            if (skippingLongLine)
                skippingLongLine = false;
            else
                sink.line(p, nl);
            p = nl + 1;
        }
        const qsizetype rest = end - p;
        consumed += (p - buf);
        if (atEnd) {
            if (rest > 0 && !skippingLongLine)
                sink.line(p, end);
            break;
        }
        if (rest == kReadBlockSize) {
            // A block without a line end: judge the line by this block and
            // drop everything up to its end.
            if (!skippingLongLine)
                sink.line(p, end, false);
            skippingLongLine = true;
            consumed += rest;
            have = 0;
            continue;
        }
        sink.blockDone(consumed);
        std::memmove(buf, p, size_t(rest));
        have = rest;
    }
    sink.finish();
    return result;
}

} // namespace records
