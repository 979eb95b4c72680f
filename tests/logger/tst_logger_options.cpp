// The logger's command line: the adapter is required, the output folder
// defaults to the working directory, durations take units, the MQTT settings
// come from the line or the adapter's file, and a bad line is a usage error
// that names what is wrong.
#include "logger_options.h"

#include "record_check.h"

#include <QDir>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using logger::ParsedOptions;

class TestLoggerOptions : public QObject
{
    Q_OBJECT

    // DIR/eth9.conf, DIR/secret (0600) and DIR/open (0644).
    QTemporaryDir m_dir;
    QString in(const QString &text) const { return QString(text).replace(QStringLiteral("DIR"), m_dir.path()); }

private slots:
    void initTestCase()
    {
        const QString secret = testsupport::writeFile(m_dir.filePath("secret"), "lab-user\npass word;#\n");
        QFile::setPermissions(secret, QFile::ReadOwner | QFile::WriteOwner);
        testsupport::writeFile(m_dir.filePath("open"), "lab-user\npassword\n");
        QFile::setPermissions(m_dir.filePath("open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        testsupport::writeFile(m_dir.filePath("eth9.conf"),
                               in("mqtt = mqtts://broker.lab\nmqtt-prefix = lab/vacuum\nmqtt-credentials = DIR/secret\n").toUtf8());
        testsupport::writeFile(m_dir.filePath("eth8.conf"), "colour = red\n");
    }

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
        QTest::newRow("mqtt: a path") << QStringList{"--mqtt", "mqtt://h/t", "eth0"}
                                      << "--mqtt: \"mqtt://h/t\": a broker URL has no path";
        QTest::newRow("mqtt: http") << QStringList{"--mqtt", "http://h", "eth0"} << "--mqtt: \"http://h\" is not mqtt://";
        QTest::newRow("mqtt: a password in the URL") << QStringList{"--mqtt", "mqtt://u:pw@h", "eth0"}
                                                     << "--mqtt: \"h\": no user name or password in the URL";
        QTest::newRow("mqtt: a CA without TLS") << QStringList{"--mqtt", "mqtt://h", "--mqtt-ca", "DIR/open", "eth0"}
                                                << "--mqtt-ca is for mqtts://";
        QTest::newRow("mqtt: a key without its certificate")
            << QStringList{"--mqtt", "mqtts://h", "--mqtt-key", "DIR/secret", "eth0"} << "--mqtt-key needs --mqtt-cert";
        QTest::newRow("mqtt: no URL") << QStringList{"--mqtt-prefix", "x", "eth0"} << "--mqtt-prefix needs --mqtt URL";
        QTest::newRow("mqtt: a wildcard") << QStringList{"--mqtt", "mqtt://h", "--mqtt-prefix", "lab/+", "eth0"}
                                          << "a level of --mqtt-prefix \"+\" holds '+'";
        QTest::newRow("mqtt: credentials others may read")
            << QStringList{"--mqtt", "mqtt://h", "--mqtt-credentials", "DIR/open", "eth0"}
            << "--mqtt-credentials: DIR/open: group or others may read it (mode 0644)";
        QTest::newRow("mqtt: no outbox") << QStringList{"--mqtt", "mqtt://h", "--mqtt-buffer", "0", "eth0"}
                                         << "--mqtt-buffer: \"0\" is not a count";
        QTest::newRow("mqtt: unknown setting in the file") << QStringList{"--config-dir", "DIR", "eth8"}
                                                           << "DIR/eth8.conf: unknown setting \"colour\"";
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, why);
        const ParsedOptions p = logger::parseOptions(QStringList{"pressure-logger"} + args.replaceInStrings("DIR", m_dir.path()));
        QCOMPARE(p.outcome, ParsedOptions::UsageError);
        QVERIFY2(p.text.startsWith(in(why)), qPrintable(p.text));
        QVERIFY(p.text.endsWith(QStringLiteral("Try --help.")));
    }

    // The adapter's file gives the settings, the command line wins, and an
    // adapter without a file does not publish.
    void mqttFromTheAdaptersFile()
    {
        const ParsedOptions p = logger::parseOptions(
            {"pressure-logger", "--config-dir", m_dir.path(), "--mqtt-prefix", "plant", "-o", "/srv/runs", "eth9"});
        QCOMPARE(p.outcome, ParsedOptions::Run);
        QCOMPARE(p.mqtt.serverUri(), QStringLiteral("ssl://broker.lab:8883"));
        QCOMPARE(p.mqtt.topic("eth9", "status"), QStringLiteral("plant/%1/eth9/status").arg(QSysInfo::machineHostName()));
        QCOMPARE(p.mqtt.clientId, QStringLiteral("pressure-logger-%1-eth9").arg(QSysInfo::machineHostName()));
        QCOMPARE(p.mqtt.userName, QByteArray("lab-user"));
        QCOMPARE(p.mqtt.password, QByteArray("pass word;#"));
        QCOMPARE(p.mqtt.outboxDir, QStringLiteral("/srv/runs/mqtt-outbox"));
        QVERIFY(!logger::parseOptions({"pressure-logger", "--config-dir", m_dir.path(), "eth7"}).mqtt.enabled());
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
