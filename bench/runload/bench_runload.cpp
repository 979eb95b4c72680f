// Prints, for one generated run CSV of 1,000,000 records (about 40 MB):
//   the parse alone (file to points) beside a bare parse of the same file
//   (mmap + memchr + from_chars, no checks), the whole load (loadRun with
//   the series filled, then one repaint), and the peak memory the load adds
//   (VmHWM after the load minus VmRSS before it, peak reset first).
#include "bench_line.h"
#include "chart_rendering.h"
#include "mainwindow.h"
#include "mainwindow_ui.h"
#include "proc_usage.h"
#include "record_line.h"
#include "run_parser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRecords = 1000000;
constexpr int kRepeats = 7;

void generate(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text))
        qFatal("cannot write %s", qPrintable(path));
    QTextStream out(&f);
    const QDateTime start(QDate(2024, 3, 5), QTime(14, 7, 9));
    for (int i = 0; i < kRecords; ++i) {
        const double mbar = 950.0 + (i % 1000) * 0.1237;
        out << records::formatRecordLine(start.addMSecs(qint64(i) * 1000 + (i % 997)), start, mbar);
    }
}

// The floor: map the file, find lines and separators, convert two numbers.
double bareParse(const char *path, std::size_t &count)
{
    const int fd = ::open(path, O_RDONLY);
    struct stat st {};
    ::fstat(fd, &st);
    const std::size_t size = std::size_t(st.st_size);
    auto *data = static_cast<const char *>(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0));
    const char *p = data;
    const char *end = data + size;
    std::vector<std::pair<double, double>> points;
    points.reserve(size / 30);
    double sum = 0;
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        const char *le = nl ? nl : end;
        const char *s1 = static_cast<const char *>(std::memchr(p, ';', std::size_t(le - p)));
        const char *s2 = s1 ? static_cast<const char *>(std::memchr(s1 + 1, ';', std::size_t(le - s1 - 1))) : nullptr;
        const char *s3 = s2 ? static_cast<const char *>(std::memchr(s2 + 1, ';', std::size_t(le - s2 - 1))) : nullptr;
        if (s3) {
            double x = 0, y = 0;
            std::from_chars(s2 + 1, s3, x);
            std::from_chars(s3 + 1, le, y);
            points.emplace_back(x, y);
            sum += y;
        }
        p = nl ? nl + 1 : end;
    }
    ::munmap(const_cast<char *>(data), size);
    ::close(fd);
    count = points.size();
    return sum;
}

template <typename F>
double bestMs(F &&f)
{
    double best = 1e300;
    for (int i = 0; i < 1; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("platform %s, series drawn with %s\n", qPrintable(QGuiApplication::platformName()),
                openGLRenderingAvailable() ? "OpenGL" : "the default raster drawing (no OpenGL context)");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.csv"));
    generate(path);
    const qint64 bytes = QFileInfo(path).size();
    std::printf("run CSV: %d records, %.1f MB\n", kRecords, double(bytes) / 1e6);
    std::fflush(stdout);

    // Whole load first, on a fresh window, for the memory figure.
    MainWindow w;
    w.show();
    QCoreApplication::processEvents();
    bench::resetPeakRss();
    const long rssBefore = bench::readUsage().rssKiB;
    QElapsedTimer t;
    t.start();
    w.loadRun(path);
    const double loadMs = double(t.nsecsElapsed()) / 1e6;
    w.repaint();
    QCoreApplication::processEvents();
    const double loadPaintMs = double(t.nsecsElapsed()) / 1e6;
    const bench::Usage after = bench::readUsage();
    const long hwm = after.peakRssKiB;
    const long rssAfter = after.rssKiB;
    const bool loaded = w.ui->statusLabel->text() == QLatin1String("Run loaded") && w.series->count() == kRecords;

    // The same load with the default drawing, for comparison.
    double rasterLoadMs = -1;
    if (w.series->useOpenGL()) {
        MainWindow raster;
        raster.series->setUseOpenGL(false);
        raster.show();
        QCoreApplication::processEvents();
        QElapsedTimer rt;
        rt.start();
        raster.loadRun(path);
        rasterLoadMs = double(rt.nsecsElapsed()) / 1e6;
    }

    std::size_t bareCount = 0;
    const QByteArray native = QFile::encodeName(path);
    // Alternate the two so that both see the same load on the machine.
    double bareMs = 1e300, parseMs = 1e300;
    qsizetype parsedCount = 0;
    for (int i = 0; i < kRepeats; ++i) {
        bareMs = std::min(bareMs, bestMs([&] { bareParse(native.constData(), bareCount); }));
        parseMs = std::min(parseMs, bestMs([&] { parsedCount = records::parseRunFile(path).points.size(); }));
    }
    QByteArray inMemory;
    {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            inMemory = f.readAll();
    }
    double memoryMs = 1e300;
    for (int i = 0; i < kRepeats; ++i)
        memoryMs = std::min(memoryMs, bestMs([&] { parsedCount = records::parseRunBytes(inMemory).points.size(); }));
    std::printf("points: %lld parsed, %zu by the bare parse\n", (long long)parsedCount, bareCount);
    if (!loaded)
        std::printf("the whole load FAILED: %s, %lld points\n", qPrintable(w.ui->statusLabel->text()),
                    (long long)w.series->count());
    bench::line("runload", "bare parse 1M records (mmap+memchr+from_chars)", bareMs, "ms");
    bench::line("runload", "parse 1M records (parseRunFile)", parseMs, "ms", bareMs, "<= 2x bare");
    bench::line("runload", "parse 1M records from memory (parseRunBytes)", memoryMs, "ms", bareMs);
    bench::line("runload", "whole load 1M records (loadRun, series filled)", loadMs, "ms", 0, "< 1000 ms");
    if (rasterLoadMs >= 0)
        bench::line("runload", "whole load 1M records, default raster drawing", rasterLoadMs, "ms");
    bench::line("runload", "whole load 1M records + first repaint", loadPaintMs, "ms");
    // Peak memory the load adds: VmHWM after it minus VmRSS before it; the
    // points alone take 16 bytes each.
    bench::line("runload", "peak memory added by the load", double(hwm - rssBefore) / 1024.0, "MB",
                kRecords * 16.0 / 1048576.0, "< 64 MB");
    bench::line("runload", "memory still added after the load", double(rssAfter - rssBefore) / 1024.0, "MB");
    return loaded ? 0 : 1;
}
