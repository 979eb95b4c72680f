// Fuzz target: the run CSV parser, on any bytes a file might hold.
// Checks that every point is finite, that the largest y is right, that the
// file reader and the in-memory reader agree, and that each number field is
// accepted exactly when QString::toDouble accepts it as a finite number, with
// the same value.
#include "fuzz_check.h"

#include "number_syntax.h"
#include "run_parser.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringDecoder>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace {

// The scratch file, in memory-backed /dev/shm when there is one: rewriting a
// file on a disk file system (truncate, then close) starts a write-back every
// time. Removed when the process ends.
struct Scratch {
    QString path = (QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath()) +
                   "/fuzz-run-csv-" + QString::number(::getpid()) + ".csv";
    ~Scratch() { QFile::remove(path); }
};

const QString &scratchPath()
{
    static const Scratch scratch;
    return scratch.path;
}

void checkNumberSyntax(const char *begin, const char *end)
{
    double ours = 0.0;
    const bool oursOk = records::parseFiniteNumber(begin, end, ours);
    bool qtOk = false;
    // A decoder that keeps a leading byte-order mark: inside a line it is a
    // character like any other, as it is for the loader's text stream.
    // Stateless: a sequence cut off by the field end is an invalid character.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom | QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(begin, end - begin));
    const double qt = text.toDouble(&qtOk);
    const bool qtFinite = qtOk && std::isfinite(qt);
    if (oursOk != qtFinite || (oursOk && ours != qt)) {
        std::fprintf(stderr, "number field \"%s\": parser %s %.17g, QString::toDouble %s %.17g\n",
                     QByteArray(begin, int(end - begin)).toHex(' ').constData(),
                     oursOk ? "accepts" : "refuses", ours, qtFinite ? "accepts" : "refuses", qt);
        FUZZ_CHECK(false, "number syntax differs from QString::toDouble");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const records::RunParseResult mem = records::parseRunBytes(bytes);
    FUZZ_CHECK(mem.status == records::RunParseResult::Ok, "parsing bytes in memory cannot fail");
    double maxY = 0.0;
    for (const QPointF &p : mem.points) {
        FUZZ_CHECK(std::isfinite(p.x()) && std::isfinite(p.y()), "points are finite");
        maxY = std::max(maxY, p.y());
        (void)records::truncatedX(p.x());
    }
    FUZZ_CHECK(mem.maxY == maxY, "largest y is the largest point's y, at least 0");

    // The same bytes as a file: the block reader must find the same points.
    {
        QFile f(scratchPath());
        FUZZ_CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opens");
        FUZZ_CHECK(f.write(bytes) == bytes.size(), "scratch file written");
        f.close();
    }
    const records::RunParseResult file = records::parseRunFile(scratchPath());
    FUZZ_CHECK(file.status == records::RunParseResult::Ok, "a readable file parses");
    FUZZ_CHECK(file.points == mem.points, "file and memory readers give the same points");
    FUZZ_CHECK(file.maxY == mem.maxY, "file and memory readers give the same largest y");

    // Every field between separators or line ends, against QString::toDouble.
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    const char *fieldStart = p;
    for (const char *q = p; q <= end; ++q) {
        if (q == end || *q == ';' || *q == '\n') {
            const char *fe = q;
            if (fe > fieldStart && fe[-1] == '\r' && q != end && *q == '\n')
                --fe; // CR of a CR LF line end belongs to the line end
            if (fe - fieldStart <= 64)
                checkNumberSyntax(fieldStart, fe);
            fieldStart = q + 1;
        }
    }
    return 0;
}
