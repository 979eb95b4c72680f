// pressure-logger --mqtt against a real broker (mosquitto on 127.0.0.1) and
// a real subscriber (mosquitto_sub), on the simulated sensor in the private
// namespace of scripts/netns-run: every record arrives in order with the
// CSV's values (plain, TLS with a CA made here, a user and password); the
// status follows a silent link and the last will a SIGKILL; nothing is lost
// when the broker goes away and comes back, also across a restart of the
// logger, and a full outbox drops the oldest and says how many; a wrong
// password is an event and the CSV logging goes on.
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
using testsupport::Subscriber;

namespace {

constexpr int kStartMs = 20000;
constexpr int kArriveMs = 15000;
const QString kAll = QStringLiteral("pressure-logger/#");

// The records of the pressure topic as CSV lines, each once (QoS 1 may
// deliver twice), in the order of their first arrival.
QStringList asCsvLines(const QList<QByteArray> &payloads)
{
    QStringList lines;
    for (const QByteArray &payload : payloads) {
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

QStringList csvLines(const QStringList &paths)
{
    QStringList lines;
    for (const QString &path : paths)
        lines += testsupport::checkCsvFile(path).lines();
    return lines;
}

QString credentialsFile(const QTemporaryDir &dir, const QByteArray &password)
{
    const QString path = testsupport::writeFile(dir.filePath(QStringLiteral("credentials")), "logger\n" + password + "\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return path;
}

} // namespace

class TestLoggerMqtt : public QObject
{
    Q_OBJECT

    testsupport::SimProcess m_sim;

    // The logger on the simulator writing into `dir` and publishing to
    // `broker`; true once it logs.
    bool startLogger(LoggerProcess &logger, const QString &dir, const Broker &broker, const QStringList &extra,
                     QString *why)
    {
        QStringList args{QStringLiteral("-q"), QStringLiteral("-o"), dir, QStringLiteral("--mqtt"), broker.url()};
        if (broker.options().tls)
            args << QStringLiteral("--mqtt-ca") << broker.caFile();
        if (!logger.start(args + extra + QStringList{testsupport::masterInterface()}, why))
            return false;
        if (logger.waitForEvent(QStringLiteral("logging "), kStartMs).isEmpty()) {
            *why = QStringLiteral("the logger did not start logging: ") + logger.eventText();
            return false;
        }
        return true;
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
        QTest::addColumn<QByteArray>("password");
        QTest::newRow("mqtt") << false << QByteArray();
        QTest::newRow("mqtts, a CA of the test's own") << true << QByteArray();
        QTest::newRow("user and password") << false << QByteArray("s3cret;\"#=");
    }
    void everyRecordArrivesWithTheCsvValues()
    {
        QFETCH(bool, tls);
        QFETCH(QByteArray, password);
        QTemporaryDir dir;
        Broker broker;
        Subscriber subscriber;
        LoggerProcess logger;
        QString why;
        QVERIFY2(broker.start({tls, password.isEmpty() ? QByteArray() : "logger", password, false}, &why),
                 qPrintable(why));
        QVERIFY2(subscriber.start(broker, kAll, &why), qPrintable(why));
        const QStringList credentials = password.isEmpty()
            ? QStringList()
            : QStringList{QStringLiteral("--mqtt-credentials"), credentialsFile(dir, password)};
        QVERIFY2(startLogger(logger, dir.path(), broker, credentials, &why), qPrintable(why));
        const QString run = logger.runPath();
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(run) >= 4, 10000);
        QVERIFY2(stop(logger), qPrintable(logger.eventText()));
        QVERIFY2(subscriber.waitFor(QStringLiteral("status"), "stopped", kArriveMs), qPrintable(logger.eventText()));

        const QStringList published = asCsvLines(subscriber.payloads(QStringLiteral("pressure")));
        QCOMPARE(published, csvLines({run}));
        const QJsonObject first = QJsonDocument::fromJson(subscriber.payloads(QStringLiteral("pressure")).value(0)).object();
        QCOMPARE(first.value(QStringLiteral("run")).toString() + QStringLiteral("_pressure.csv"), QFileInfo(run).fileName());
        QVERIFY2(QDateTime::fromString(first.value(QStringLiteral("time")).toString(), Qt::ISODate).isValid(),
                 qPrintable(first.value(QStringLiteral("time")).toString()));
        QCOMPARE(subscriber.payloads(QStringLiteral("status")), (QList<QByteArray>{"online", "stopped"}));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("mqtt-outbox"))).permissions()
                == (QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
                    | QFile::ExeUser));
    }

    void theStatusFollowsTheLinkAndTheWillAKill()
    {
        QTemporaryDir dir;
        Broker broker;
        Subscriber subscriber;
        LoggerProcess logger;
        QString why;
        QVERIFY2(broker.start({}, &why), qPrintable(why));
        QVERIFY2(subscriber.start(broker, kAll, &why), qPrintable(why));
        QVERIFY2(startLogger(logger, dir.path(), broker, {}, &why), qPrintable(why));
        QVERIFY(subscriber.waitFor(QStringLiteral("status"), "online", kArriveMs));

        // A silent link: lost (shown when a display period sees it before
        // the reconnect), down until a reconnect works, and back; within
        // the link's longest wait between reconnects (30 s).
        const auto statuses = [&] { return subscriber.payloads(QStringLiteral("status")); };
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
        QVERIFY2(subscriber.waitFor(QStringLiteral("status"), "offline", kArriveMs), qPrintable(broker.log()));
        QCOMPARE(subscriber.payloads(QStringLiteral("status")).last(), QByteArray("offline"));
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
        Subscriber subscriber;
        QString why;
        // The subscriber's session and what is queued for it outlive the
        // broker's restart, so that the order of the two reconnects does
        // not matter.
        QVERIFY2(broker.start({false, {}, {}, true}, &why), qPrintable(why));
        QVERIFY2(subscriber.start(broker, kAll, &why), qPrintable(why));
        const QStringList extra = outbox ? QStringList{QStringLiteral("--mqtt-buffer"), QString::number(outbox)}
                                         : QStringList();
        auto logger = std::make_unique<LoggerProcess>();
        QVERIFY2(startLogger(*logger, dir.path(), broker, extra, &why), qPrintable(why));
        QStringList runs{logger->runPath()};
        QTRY_VERIFY_WITH_TIMEOUT(subscriber.payloads(QStringLiteral("pressure")).size() >= 2, kArriveMs);

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
        QVERIFY2(subscriber.waitFor(QStringLiteral("status"), "stopped", kArriveMs), qPrintable(logger->eventText()));

        const QStringList written = csvLines(runs);
        const QStringList published = asCsvLines(subscriber.payloads(QStringLiteral("pressure")));
        if (!outbox) {
            QCOMPARE(published, written);
            return;
        }
        // The oldest of the outage went, one block as long as the event
        // says; the rest arrived in order.
        const QRegularExpression dropped(QStringLiteral("; (\\d+) oldest messages? w[a-z]+ dropped"));
        const int count = dropped.match(connected).captured(1).toInt();
        QStringList missing = written;
        for (const QString &line : published)
            missing.removeOne(line);
        QVERIFY2(count >= 3 && missing.size() == count, qPrintable(connected + QLatin1Char('\n') + missing.join('\n')));
        const int from = written.indexOf(missing.first());
        QVERIFY(from >= before - 1);
        QCOMPARE(written.mid(from, count), missing);
        QCOMPARE(published.size() + count, written.size());
    }

    void aWrongPasswordIsAnEventAndTheCsvGoesOn()
    {
        QTemporaryDir dir;
        Broker broker;
        LoggerProcess logger;
        QString why;
        QVERIFY2(broker.start({false, "logger", "right", false}, &why), qPrintable(why));
        QVERIFY2(startLogger(logger, dir.path(), broker, {"--mqtt-credentials", credentialsFile(dir, "wrong")}, &why),
                 qPrintable(why));
        const QString refused = logger.waitForEvent(QStringLiteral("refused the user name or password"), kArriveMs);
        QVERIFY2(refused.contains(dir.filePath(QStringLiteral("credentials"))), qPrintable(logger.eventText()));
        QTRY_VERIFY_WITH_TIMEOUT(lineCount(logger.runPath()) >= 3, 10000);
        QVERIFY2(stop(logger), qPrintable(logger.eventText()));
        QCOMPARE(logger.eventText().count(QStringLiteral("refused")), 1);
    }

    void cleanupTestCase() { m_sim.stop(); }
};

QTEST_GUILESS_MAIN(TestLoggerMqtt)
#include "tst_logger_mqtt.moc"
