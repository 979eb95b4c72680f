// Prints, for one generated run CSV of 1,000,000 records (about 40 MB):
//   the parse alone (file to points) beside a bare parse of the same file
//   (mmap + memchr + from_chars, no checks), the whole load (loadRun with
//   the series filled, then one repaint), and the peak memory the load adds
//   (VmHWM after the load minus VmRSS before it, peak reset first).
#include "chart_rendering.h"
#include "mainwindow.h"
#include "record_line.h"
#include "run_parser.h"
#include "ui_mainwindow.h"

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

long procStatusKb(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLong();
    }
    return -1;
}

void resetPeakRss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

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

    // Whole load first, on a fresh window, for the memory figure.
    MainWindow w;
    w.show();
    QCoreApplication::processEvents();
    resetPeakRss();
    const long rssBefore = procStatusKb("VmRSS");
    QElapsedTimer t;
    t.start();
    w.loadRun(path);
    const double loadMs = double(t.nsecsElapsed()) / 1e6;
    w.repaint();
    QCoreApplication::processEvents();
    const double loadPaintMs = double(t.nsecsElapsed()) / 1e6;
    const long hwm = procStatusKb("VmHWM");
    const long rssAfter = procStatusKb("VmRSS");
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
    std::printf("bare parse (mmap+memchr+from_chars): %8.1f ms  (%zu points)\n", bareMs, bareCount);
    std::printf("parse (parseRunFile):                %8.1f ms  (%lld points)  ratio %.2fx bare (goal <= 2x)\n",
                parseMs, (long long)parsedCount, parseMs / bareMs);
    QByteArray inMemory;
    {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            inMemory = f.readAll();
    }
    double memoryMs = 1e300;
    for (int i = 0; i < kRepeats; ++i)
        memoryMs = std::min(memoryMs, bestMs([&] { parsedCount = records::parseRunBytes(inMemory).points.size(); }));
    std::printf("parse from memory (parseRunBytes):   %8.1f ms  ratio %.2fx bare\n", memoryMs, memoryMs / bareMs);
    std::printf("whole load (loadRun, series filled): %8.1f ms  (goal < 1000 ms)%s\n", loadMs,
                loaded ? "" : "  [LOAD FAILED]");
    if (rasterLoadMs >= 0)
        std::printf("whole load, default raster drawing:  %8.1f ms\n", rasterLoadMs);
    std::printf("whole load + first repaint:          %8.1f ms\n", loadPaintMs);
    std::printf("peak memory added: %.1f MB (VmHWM %ld kB - VmRSS before %ld kB; goal < 64 MB); "
                "points alone %.1f MB; RSS after %.1f MB added\n",
                double(hwm - rssBefore) / 1024.0, hwm, rssBefore, kRecords * 16.0 / 1048576.0,
                double(rssAfter - rssBefore) / 1024.0);
    // Machine-readable lines for scripts/bench-all.
    std::printf("BENCH\trunload\tbare parse 1M records\t%.1f\tms\t-\t-\t-\n", bareMs);
    std::printf("BENCH\trunload\tparse 1M records\t%.1f\tms\t%.1f\t%.2f\t<= 2x bare\n", parseMs, bareMs,
                parseMs / bareMs);
    std::printf("BENCH\trunload\twhole load 1M records\t%.1f\tms\t-\t-\t< 1000 ms\n", loadMs);
    std::printf("BENCH\trunload\tpeak memory added\t%.1f\tMB\t-\t-\t< 64 MB\n", double(hwm - rssBefore) / 1024.0);
    return loaded ? 0 : 1;
}
