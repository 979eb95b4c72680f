// The logger's command line: the adapter is required, the output folder
// defaults to the working directory, durations take units, and a bad line
// is a usage error that names what is wrong.
#include "logger_options.h"

#include <QDir>
#include <QtTest>

using logger::ParsedOptions;

class TestLoggerOptions : public QObject
{
    Q_OBJECT

private slots:
    void durations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms");   // -1: refused
        QTest::newRow("seconds") << "90" << qint64(90000);
        QTest::newRow("s") << "90s" << qint64(90000);
        QTest::newRow("m") << "15m" << qint64(900000);
        QTest::newRow("h") << "1.5h" << qint64(5400000);
        QTest::newRow("d") << "7d" << qint64(7 * 86400000LL);
        QTest::newRow("fraction of a second") << "0.25" << qint64(250);
        QTest::newRow("zero") << "0" << qint64(-1);
        QTest::newRow("negative") << "-5" << qint64(-1);
        QTest::newRow("unknown unit") << "5w" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("over a year") << "367d" << qint64(-1);
        QTest::newRow("words") << "forever" << qint64(-1);
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        qint64 parsed = -1;
        const bool ok = logger::parseDuration(text, &parsed);
        QCOMPARE(ok, ms >= 0);
        if (ok)
            QCOMPARE(parsed, ms);
    }

    void adapterAndDefaults()
    {
        const ParsedOptions p = logger::parseOptions({"pressure-logger", "enp3s0"});
        QCOMPARE(p.outcome, ParsedOptions::Run);
        QCOMPARE(p.settings.adapter, QByteArray("enp3s0"));
        QCOMPARE(p.settings.outputDir, QDir::currentPath());
        QCOMPARE(p.settings.durationMs, qint64(-1));
        QVERIFY(!p.settings.quiet);
    }

    void everyOption()
    {
        const ParsedOptions p =
            logger::parseOptions({"pressure-logger", "-o", "/var/lib/x", "--duration", "2h", "--quiet", "eth1"});
        QCOMPARE(p.outcome, ParsedOptions::Run);
        QCOMPARE(p.settings.adapter, QByteArray("eth1"));
        QCOMPARE(p.settings.outputDir, QStringLiteral("/var/lib/x"));
        QCOMPARE(p.settings.durationMs, qint64(7200000));
        QVERIFY(p.settings.quiet);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("why");
        QTest::newRow("no adapter") << QStringList{} << "no adapter given";
        QTest::newRow("two adapters") << QStringList{"eth0", "eth1"} << "one adapter only, got: eth0 eth1";
        QTest::newRow("empty adapter") << QStringList{""} << "the adapter name is empty";
        QTest::newRow("bad duration") << QStringList{"-d", "soon", "eth0"} << "--duration: \"soon\"";
        QTest::newRow("unknown option") << QStringList{"--fast", "eth0"} << "Unknown option 'fast'.";
        QTest::newRow("missing value") << QStringList{"eth0", "-o"} << "Missing value after '-o'.";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, why);
        const ParsedOptions p = logger::parseOptions(QStringList{"pressure-logger"} + args);
        QCOMPARE(p.outcome, ParsedOptions::UsageError);
        QVERIFY2(p.text.startsWith(why), qPrintable(p.text));
        QVERIFY(p.text.endsWith(QStringLiteral("Try --help.")));
    }

    void helpNamesTheOptions()
    {
        const ParsedOptions p = logger::parseOptions({"pressure-logger", "--help"});
        QCOMPARE(p.outcome, ParsedOptions::ShowHelp);
        for (const char *option : {"--output <folder>", "--duration <time>", "--quiet", "adapter"})
            QVERIFY2(p.text.contains(QLatin1String(option)), option);
    }
};

QTEST_GUILESS_MAIN(TestLoggerOptions)
#include "tst_logger_options.moc"
