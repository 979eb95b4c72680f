// The pressure-viewer program's command line: --export-png writes an image of
// the asked size with no display at all, --rate-of-rise prints one JSON
// object, and every way to fail has its exit code (1: a file, the test or
// the image; 2: usage) and says why.
#include "record_check.h"
#include "run_files.h"
#include "sim_process.h"

#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using testsupport::Finished;
using testsupport::runToEnd;
using testsupport::sampleRun;

namespace {

QString viewer() { return QStringLiteral(VIEWER_EXE); }

// Pumped down for 100 s, then shut off: a leak of 1e-4 mbar/s, or gas off the walls.
double leak(double t) { return t < 100.0 ? 1000.0 * std::pow(10.0, -t / 16.0) : 1e-3 + 1e-4 * (t - 100.0); }
double outgassing(double t)
{
    return t < 100.0 ? 1000.0 * std::pow(10.0, -t / 16.0) : 1e-3 + 0.01 * (1.0 - std::exp(-(t - 100.0) / 60.0));
}

} // namespace

class TestViewerCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_leak;
    QString m_outgassing;

    QString file(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        // No display of any kind, and settings of our own.
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv("QT_QPA_PLATFORM");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(file(QStringLiteral("config"))));
        m_leak = testsupport::writeRun(file(QStringLiteral("leak.csv")), sampleRun(leak, 400));
        m_outgassing = testsupport::writeRun(file(QStringLiteral("outgassing.csv")), sampleRun(outgassing, 400));
    }

    void exportPngWritesTheAskedSize_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::newRow("default size") << QStringList{} << QSize(1200, 800);
        QTest::newRow("small, in Torr, linear") << QStringList{"--size", "640x480", "--unit", "Torr", "--linear"}
                                                << QSize(640, 480);
        QTest::newRow("large, log, with a reference") << QStringList{"--size", "1920x1080", "--log", "--reference", "OUTGASSING"}
                                                      << QSize(1920, 1080);
        QTest::newRow("with the test's fit") << QStringList{"--size", "800x600", "--rate-of-rise", "150", "390", "--volume", "10"}
                                             << QSize(800, 600);
    }
    void exportPngWritesTheAskedSize()
    {
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        options.replaceInStrings(QStringLiteral("OUTGASSING"), m_outgassing);
        const QString png = file(QStringLiteral("chart.png"));
        QFile::remove(png);
        const Finished run = runToEnd(viewer(), QStringList{"--export-png", png} + options + QStringList{m_leak});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QImage image(png);
        QCOMPARE(image.size(), size);
        // Drawn, not blank: the background and the runs' colours at least.
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 5);
    }

    void rateOfRisePrintsOneJsonObject_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<QStringList>("span");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("verdict");
        QTest::addColumn<double>("leakRate");   // mbar l/s for 20 l, 0 when not compared
        QTest::newRow("leak") << "leak" << QStringList{"150", "390"} << 0 << "leak" << 2e-3;
        QTest::newRow("outgassing") << "outgassing" << QStringList{"110", "390"} << 0 << "outgassing" << 0.0;
        QTest::newRow("five readings") << "leak" << QStringList{"200", "204"} << 0 << "cannot tell" << 2e-3;
        QTest::newRow("two readings") << "leak" << QStringList{"200", "201.5"} << 1 << "cannot tell" << 0.0;
    }
    void rateOfRisePrintsOneJsonObject()
    {
        QFETCH(QString, run);
        QFETCH(QStringList, span);
        QFETCH(int, exitCode);
        QFETCH(QString, verdict);
        QFETCH(double, leakRate);
        const QString path = run == QLatin1String("leak") ? m_leak : m_outgassing;
        const Finished done = runToEnd(viewer(), QStringList{"--rate-of-rise"} + span + QStringList{"--volume", "20", path});
        QCOMPARE(done.exitCode, exitCode);
        QCOMPARE(done.out.count(QLatin1Char('\n')), 1);
        QJsonParseError error;
        const QJsonObject json = QJsonDocument::fromJson(done.out.toUtf8(), &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(done.out));
        QCOMPARE(json.value(QStringLiteral("ok")).toBool(), exitCode == 0);
        QCOMPARE(json.value(QStringLiteral("verdict")).toString(), verdict);
        QCOMPARE(json.value(QStringLiteral("volume_l")).toDouble(), 20.0);
        QCOMPARE(json.value(QStringLiteral("file")).toString(), path);
        if (leakRate > 0.0) {
            const double q = json.value(QStringLiteral("leak_rate_mbar_l_per_s")).toDouble();
            QVERIFY2(std::abs(q - leakRate) < 0.01 * leakRate, qPrintable(done.out));
        }
        if (exitCode != 0)
            QVERIFY2(done.err.contains(QLatin1String("cannot run")), qPrintable(done.err));
    }

    void exitCodesSayWhatFailed_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        const QString png = m_dir.filePath(QStringLiteral("x.png"));
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--rate-of-rise";
        QTest::newRow("no such file") << QStringList{"--export-png", png, "/nonexistent/run.csv"} << 1
                                      << "/nonexistent/run.csv";
        QTest::newRow("a folder") << QStringList{"--rate-of-rise", "1", "2", "--volume", "1", m_dir.path()} << 1
                                  << "folder";
        QTest::newRow("image not writable") << QStringList{"--export-png", "/nonexistent/x.png", "LEAK"} << 1
                                            << "/nonexistent/x.png";
        QTest::newRow("unknown unit") << QStringList{"--unit", "psi", "LEAK"} << 2 << "mbar, hPa, Pa, Torr";
        QTest::newRow("log and linear") << QStringList{"--log", "--linear", "LEAK"} << 2 << "exclude";
        QTest::newRow("span without its end") << QStringList{"LEAK", "--rate-of-rise", "5"} << 2 << "FROM TO";
        QTest::newRow("span backwards") << QStringList{"--rate-of-rise", "9", "5", "--volume", "1", "LEAK"} << 2
                                        << "before";
        QTest::newRow("no volume") << QStringList{"--rate-of-rise", "1", "5", "LEAK"} << 2 << "--volume";
        QTest::newRow("volume of 0") << QStringList{"--rate-of-rise", "1", "5", "--volume", "0", "LEAK"} << 2
                                     << "above 0";
        QTest::newRow("two files to test") << QStringList{"--rate-of-rise", "1", "5", "--volume", "1", "LEAK", "LEAK"}
                                           << 2 << "one FILE";
        QTest::newRow("size without export") << QStringList{"--size", "100x100", "LEAK"} << 2 << "--export-png";
        QTest::newRow("export without a file") << QStringList{"--export-png", png} << 2 << "need a FILE";
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << "frobnicate";
    }
    void exitCodesSayWhatFailed()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        arguments.replaceInStrings(QStringLiteral("LEAK"), m_leak);
        const Finished done = runToEnd(viewer(), arguments);
        QCOMPARE(done.exitCode, exitCode);
        QVERIFY2((exitCode == 0 ? done.out : done.err).contains(says), qPrintable(done.out + done.err));
    }
};

QTEST_GUILESS_MAIN(TestViewerCli)
#include "tst_viewer_cli.moc"
