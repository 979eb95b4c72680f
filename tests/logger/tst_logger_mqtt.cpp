// pressure-logger --mqtt against a real broker (mosquitto on 127.0.0.1) and
// its subscriber (mosquitto_sub), on the simulated sensor in the private
// namespace of scripts/netns-run: every record arrives in order with the
// CSV's values (plain, TLS with a CA made here, a client certificate, a user
// and password), and a refused connect is one event while the CSV logging
// goes on; the status follows a silent link and the last will a SIGKILL;
// nothing is lost when the broker goes away and comes back, also across a
// restart of the logger, and a full outbox drops the oldest and says how many.
#include "broker.h"
#include "logger_process.h"
#include "netns.h"
#include "record_check.h"
#include "record_line.h"
#include "sim_process.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using loggertest::LoggerProcess;
using testsupport::Broker;
using testsupport::lineCount;

namespace {

constexpr int kArriveMs = 15000;

// The records of the pressure topic as CSV lines, each once (QoS 1 may
// deliver twice), in the order of their first arrival.
QStringList published(Broker &broker)
{
    QStringList lines;
    for (const QByteArray &payload : broker.payloads(QStringLiteral("pressure"))) {
        const QJsonObject o = QJsonDocument::fromJson(payload).object();
        const QString time = o.value(QStringLiteral("time")).toString();
        const QString line = QStringList{time.left(10), time.mid(11, 8),
                                         QString::number(o.value(QStringLiteral("elapsed")).toDouble(), 'f', 3),
                                         records::formatPressure(o.value(QStringLiteral("mbar")).toDouble())}
                                 .join(QLatin1Char(records::kFieldSeparator));
        if (!lines.contains(line))
            lines << line;
    }
    return lines;
}

QStringList written(const QStringList &runs)
{
    QStringList lines;
    for (const QString &path : runs)
        lines += testsupport::checkCsvFile(path).lines();
    return lines;
}

} // namespace

class TestLoggerMqtt : public QObject
{
    Q_OBJECT

    testsupport::SimProcess m_sim;

    // The logger on the simulator writing into `dir` and publishing to
    // `broker`; true once it logs.
    static bool startLogger(LoggerProcess &logger, const QString &dir, const Broker &broker, const QStringList &extra,
                            QString *why)
    {
        return logger.startLogging(QStringList{"-q", "-o", dir} + broker.loggerOptions() + extra, why);
    }
    static bool stop(LoggerProcess &logger)
    {
        logger.signal(SIGTERM);
        return logger.waitForExit(10000) == 0;
    }

private slots:
    void initTestCase()
    {
        if (!testsupport::insideNamespace())
            QSKIP(testsupport::kNeedsNamespace);
        QString why;
        QVERIFY2(m_sim.start({"--profile", "sine", "1000", "400", "7"}, &why), qPrintable(why));
    }

    void everyRecordArrivesWithTheCsvValues_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("clientCertificate");   // the broker asks for one
        QTest::addColumn<QByteArray>("password");      // the broker's for "logger"; none: anonymous
        QTest::addColumn<QByteArray>("given");         // in the logger's credentials file
        QTest::addColumn<QString>("refused");          // the event of a refused connect
        const QByteArray odd = "s3cret;\"#=";
        QTest::newRow("mqtt") << false << false << QByteArray() << QByteArray() << QString();
        QTest::newRow("mqtts, a CA of the test's own") << true << false << QByteArray() << QByteArray() << QString();
        QTest::newRow("mqtts, a client certificate") << true << true << QByteArray() << QByteArray() << QString();
        QTest::newRow("user and password") << false << false << odd << odd << QString();
        QTest::newRow("a wrong password") << false << false << QByteArray("right") << QByteArray("wrong")
                                          << "the broker refused the user name or password (not authorised); "
                                             "check CREDENTIALS; trying again";
    }
    void everyRecordArrivesWithTheCsvValues()
    {
        QFETCH(bool, tls);
        QFETCH(bool, clientCertificate);
        QFETCH(QByteArray, password);
        QFETCH(QByteArray, given);
        QFETCH(QString, refused);
        QTemporaryDir dir;
        Broker broker;
        LoggerProcess logger;
        QString why;
        QVERIFY2(broker.start({tls, clientCertificate, password.isEmpty() ? "" : "logger", password}, &why),
                 qPrintable(why));
        QStringList credentials;
        if (!given.isEmpty()) {
            credentials << "--mqtt-credentials"
                        << testsupport::writeFile(dir.filePath(QStringLiteral("credentials")), "logger\n" + given);
            QFile::setPermissions(credentials.last(), QFile::ReadOwner | QFile::WriteOwner);
        }
        QVERIFY2(startLogger(logger, dir.path(), broker, credentials, &why), qPrintable(why));
        const QString run = logger.runPath();
        if (!refused.isEmpty()) {
            refused.replace(QStringLiteral("CREDENTIALS"), credentials.value(1));
            QVERIFY2(!logger.waitForEvent(refused, kArriveMs).isEmpty(), qPrintable(logger.eventText()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(run) >= 4, 10000);
        QVERIFY2(stop(logger), qPrintable(logger.eventText()));
        if (!refused.isEmpty()) {   // once, not with every attempt
            QCOMPARE(logger.eventText().count(QStringLiteral("cannot connect")), 1);
            return;
        }
        // The logger's last message comes after its last record.
        QVERIFY2(broker.waitFor(QStringLiteral("status"), "stopped", kArriveMs), qPrintable(logger.eventText()));
        QCOMPARE(published(broker), written({run}));
        const QJsonObject first = QJsonDocument::fromJson(broker.payloads(QStringLiteral("pressure")).value(0)).object();
        QCOMPARE(first.value(QStringLiteral("run")).toString() + QStringLiteral("_pressure.csv"), QFileInfo(run).fileName());
        QCOMPARE(broker.payloads(QStringLiteral("status")), (QList<QByteArray>{"online", "stopped"}));
        QCOMPARE(QFileInfo(dir.filePath(QStringLiteral("mqtt-outbox"))).permissions() & 0x0777,
                 QFile::ReadUser | QFile::WriteUser | QFile::ExeUser);
    }

    void theStatusFollowsTheLinkAndTheWillAKill()
    {
        QTemporaryDir dir;
        Broker broker;
        LoggerProcess logger;
        QString why;
        QVERIFY2(broker.start({}, &why), qPrintable(why));
        QVERIFY2(startLogger(logger, dir.path(), broker, {}, &why), qPrintable(why));
        QVERIFY(broker.waitFor(QStringLiteral("status"), "online", kArriveMs));

        // A silent link: lost (shown when a display period sees it before
        // the reconnect), down until a reconnect works, and back; within
        // the link's longest wait between reconnects (30 s).
        const auto statuses = [&] { return broker.payloads(QStringLiteral("status")); };
        const auto seen = [&] { return statuses().join(", ") + '\n' + logger.eventText(); };
        QCOMPARE(m_sim.command(QStringLiteral("silence 5")).left(2), QStringLiteral("ok"));
        QVERIFY2(QTest::qWaitFor([&] { return statuses().count("online") >= 2; }, 45000), qPrintable(seen()));
        QList<QByteArray> silence = statuses();
        silence.removeOne("link lost");
        QCOMPARE(silence, (QList<QByteArray>{"online", "reconnecting", "online"}));
        // Invalid readings: the link stays up and gives none.
        const int before = statuses().size();
        QCOMPARE(m_sim.command(QStringLiteral("invalid-for 2")).left(2), QStringLiteral("ok"));
        QVERIFY2(QTest::qWaitFor([&] { return statuses().size() >= before + 2; }, 45000), qPrintable(seen()));
        QCOMPARE(statuses().mid(before), (QList<QByteArray>{"link lost", "online"}));

        logger.signal(SIGKILL);
        QCOMPARE(logger.waitForExit(10000), -1);
        QVERIFY2(broker.waitFor(QStringLiteral("status"), "offline", kArriveMs), qPrintable(broker.log()));
        QCOMPARE(statuses().last(), QByteArray("offline"));
    }

    void nothingIsLostToAnOutage_data()
    {
        QTest::addColumn<bool>("restartLogger");
        QTest::addColumn<int>("outbox");   // messages that may wait; 0: the default
        QTest::newRow("broker away for a while") << false << 0;
        QTest::newRow("logger restarted while the broker is away") << true << 0;
        QTest::newRow("an outbox of 3 drops the oldest") << false << 3;
    }
    void nothingIsLostToAnOutage()
    {
        QFETCH(bool, restartLogger);
        QFETCH(int, outbox);
        QTemporaryDir dir;
        Broker broker;
        QString why;
        // The subscriber's session and what is queued for it outlive the
        // broker's restart, so that the order of the two reconnects does
        // not matter.
        QVERIFY2(broker.start({false, false, {}, {}, true}, &why), qPrintable(why));
        const QStringList extra = outbox ? QStringList{"--mqtt-buffer", QString::number(outbox)} : QStringList();
        auto logger = std::make_unique<LoggerProcess>();
        QVERIFY2(startLogger(*logger, dir.path(), broker, extra, &why), qPrintable(why));
        QStringList runs{logger->runPath()};
        QTRY_VERIFY_WITH_TIMEOUT(broker.payloads(QStringLiteral("pressure")).size() >= 2, kArriveMs);

        broker.stop();
        const int before = lineCount(runs.last());
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(runs.last()) >= before + 3, 10000);
        if (restartLogger) {
            QVERIFY2(stop(*logger), qPrintable(logger->eventText()));
            QVERIFY2(logger->eventText().contains(QStringLiteral("the broker has not taken stay in")),
                     qPrintable(logger->eventText()));
            logger = std::make_unique<LoggerProcess>();
            QVERIFY2(startLogger(*logger, dir.path(), broker, extra, &why), qPrintable(why));
            QVERIFY(!logger->waitForEvent(QStringLiteral("from before in the outbox go out first"), 5000).isEmpty());
            runs << logger->runPath();
            QTRY_VERIFY_WITH_TIMEOUT(lineCount(runs.last()) >= 2, 10000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(lineCount(runs.last()) >= before + 6, 10000);
        }
        QVERIFY2(broker.restart(&why), qPrintable(why));
        const QString connected = logger->waitForEvent(QStringLiteral("MQTT: connected to"), 40000, restartLogger ? 0 : 1);
        QVERIFY2(!connected.isEmpty(), qPrintable(logger->eventText()));
        QVERIFY2(stop(*logger), qPrintable(logger->eventText()));
        QVERIFY2(logger->eventText().contains(QStringLiteral("every message delivered")), qPrintable(logger->eventText()));

        const QStringList csv = written(runs);
        if (!outbox) {
            // Everything reaches the subscriber, in order; awaited as such,
            // since a restarted logger's first "stopped" comes before the gap.
            QTRY_COMPARE_WITH_TIMEOUT(published(broker), csv, kArriveMs);
            qInfo("all %d records arrived", int(csv.size()));
            return;
        }
        // The oldest of the outage went, in one gap no longer than the
        // event's count (status messages go alike); the rest arrived in order.
        QVERIFY2(broker.waitFor(QStringLiteral("status"), "stopped", kArriveMs), qPrintable(logger->eventText()));
        const int count = QRegularExpression(QStringLiteral("; (\\d+) oldest messages? w[a-z]+ dropped"))
                              .match(connected).captured(1).toInt();
        const QStringList got = published(broker);
        int from = 0;
        while (from < got.size() && got[from] == csv.value(from))
            ++from;
        const int gap = csv.size() - got.size();
        QVERIFY2(gap >= 3 && gap <= count && from >= before - 1, qPrintable(connected + '\n' + got.join('\n')));
        QCOMPARE(got.mid(from), csv.mid(from + gap));
    }

    void cleanupTestCase() { m_sim.stop(); }
};

QTEST_GUILESS_MAIN(TestLoggerMqtt)
#include "tst_logger_mqtt.moc"
