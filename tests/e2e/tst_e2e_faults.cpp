// The window on the real link against the simulated sensor while the bus
// misbehaves: labels, debug messages and records for each fault, and the tool
// still running afterwards. Each case is its own CTest test (its own namespace
// and process), so the process-wide state starts fresh.
#include "message_capture.h"
#include "record_check.h"
#include "stderr_capture.h"
#include "support/scenario.h"

#include <QRegularExpression>
#include <QtTest>

using namespace e2e;
using namespace testsupport;

namespace {

const QString kSimPressure = QStringLiteral("1013.25");
constexpr double kSimMbar = 1013.25;

#define REQUIRE_OK(expr)                                \
    do {                                                \
        QString why_;                                   \
        QVERIFY2((expr), qPrintable(why_));             \
    } while (0)
// REQUIRE_OK passes `&why_` through this name.
#define WHY (&why_)

QString commandOk(SimProcess &sim, const QString &line)
{
    const QString answer = sim.command(line);
    return answer.startsWith(QLatin1String("ok")) ? QString() : QStringLiteral("\"%1\" answered \"%2\"").arg(line, answer);
}

// Every line of both files complete; the daily file holds the same lines as the run file.
void verifyFiles(WindowRig &rig, bool requireSimValue, int *altered = nullptr)
{
    const CsvCheck run = checkCsvFile(rig.runCsv());
    QVERIFY2(run.ok(), qPrintable(run.problems.join('\n')));
    const CsvCheck daily = checkCsvFile(rig.dailyCsv());
    QVERIFY2(daily.ok(), qPrintable(daily.problems.join('\n')));
    QCOMPARE(daily.records.size(), run.records.size());
    for (int i = 0; i < run.records.size(); ++i)
        QCOMPARE(daily.records[i].line, run.records[i].line);
    int differing = 0;
    double lastElapsed = -1;
    for (const Record &r : run.records) {
        QVERIFY2(r.elapsed >= lastElapsed, qPrintable(r.line));
        lastElapsed = r.elapsed;
        if (r.pressure != kSimMbar) {
            ++differing;
            std::printf("record with another pressure than the sensor's: %s\n", qPrintable(r.line));
            if (requireSimValue)
                QFAIL(qPrintable(QStringLiteral("record with a pressure the sensor never gave: %1").arg(r.line)));
        }
    }
    if (altered)
        *altered = differing;
}

// After a fault has ended, a display tick shows the valid pressure again. A
// loaded machine can still miss one 2 ms receive timeout on any tick, which
// shows as an issue on that tick, so this waits for the first valid status
// rather than naming the tick it must come on.
bool backToValid(WindowRig &rig)
{
    return rig.waitUntil([&] { return rig.status() == kValid; }, 10000);
}

// Tallies the display ticks of the run from the scenario's first tick on,
// prints the tally and checks that every tick's record matches its status.
void verifyTally(const QString &fault, const Scenario &s, qint64 faultFromMs, qint64 faultToMs, Tally *out = nullptr)
{
    const Tally t = tally(s.rig.ticks(), s.firstTick, faultFromMs, faultToMs);
    std::printf("%s: %d display ticks, %d records, %d unavailable during the fault, statuses: %s\n",
                qPrintable(fault), t.displayTicks, t.records, t.duringFault, qPrintable(t.statuses.join(" | ")));
    printFigure(fault + QStringLiteral(" records lost beyond the fault"), t.lostOutside, QStringLiteral("records"), "0");
    if (out)
        *out = t;
    QVERIFY2(t.inconsistencies.isEmpty(), qPrintable(t.inconsistencies.join('\n')));
}

}  // namespace

class FaultsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!insideNamespace())
            QSKIP(kNeedsNamespace);
    }

    void invalidReadings();
    void silence();
    void refuseOp();
    void errorState();
    void dropsForAMinute();
    void corruptAndTruncatedForAMinute();
    void extraSlavesIgnored();
    void refusedBus_data();
    void refusedBus();
};

void FaultsTest::invalidReadings()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--pressure", kSimPressure}, WHY));
    REQUIRE_OK(s.startLogging(2, WHY));

    QCOMPARE(commandOk(s.sim, "invalid on"), QString());
    const qint64 faultFrom = s.rig.nowMs();
    QVERIFY2(s.rig.waitUntil([&] { return !s.rig.ticks().isEmpty() && s.rig.ticks().last().status == "Reconnected"; }, 20000),
             qPrintable(s.rig.status()));
    const qint64 reconnectedAt = s.rig.ticks().last().atMs;
    printFigure("first invalid reading to Reconnected", reconnectedAt - faultFrom, "ms");
    QCOMPARE(lineCount(s.rig.runCsv()), s.before);

    // Still invalid: the next display tick reconnects again.
    QVERIFY(s.rig.waitDisplayTicks(1, 20000));
    QCOMPARE(s.rig.ticks().last().status, QStringLiteral("Reconnected"));
    QCOMPARE(lineCount(s.rig.runCsv()), s.before);

    QCOMPARE(commandOk(s.sim, "invalid off"), QString());
    const qint64 faultTo = s.rig.nowMs();
    QVERIFY2(s.rig.waitUntil([&] { return lineCount(s.rig.runCsv()) > s.before; }, 10000), qPrintable(s.rig.status()));
    QVERIFY2(backToValid(s.rig), qPrintable(s.rig.status()));
    QCOMPARE(s.rig.pressure(), QStringLiteral("1013.250 mbar"));

    // While invalid: "Connected, pressure invalid" (fewer than five so far), a reconnect, or
    // what a read or state read that timed out gives; never a valid pressure.
    const QRegularExpression issue("^EtherCAT issue: state=0x[0-9a-f]+ WKC=-?\\d+$");
    int invalidShown = 0;
    for (const DisplayTick &t : s.rig.ticks()) {
        if (t.atMs <= faultFrom || t.atMs > faultTo)
            continue;
        QVERIFY2(t.status == "Reconnected" || t.status == "Connected, pressure invalid"
                         || t.status == "EtherCAT read failed" || issue.match(t.status).hasMatch(),
                 qPrintable(t.status));
        if (t.status == "Connected, pressure invalid")
            ++invalidShown;
    }
    QCOMPARE(s.messages.count("INVALID PRESSURE"), invalidShown);
    const QRegularExpression invalidMessage("^INVALID PRESSURE pressure= \\S+ valid= 0 over= [01] under= [01]$");
    for (const QString &m : s.messages.messages())
        if (m.startsWith("INVALID PRESSURE"))
            QVERIFY2(invalidMessage.match(m).hasMatch(), qPrintable(m));

    std::printf("timeline (0 = first invalid reading):\n");
    printTimeline(s.rig.ticks(), faultFrom);
    verifyTally("invalid readings", s, faultFrom, faultTo);
    verifyFiles(s.rig, true);
}

void FaultsTest::silence()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--pressure", kSimPressure}, WHY));
    REQUIRE_OK(s.startLogging(2, WHY));

    // Mid-way between display ticks, so that the end of the silence does not coincide
    // with one (the ack comes right after a record, and 3 s are about three periods).
    s.rig.runFor(450);
    QCOMPARE(commandOk(s.sim, "silence 3"), QString());
    const qint64 faultFrom = s.rig.nowMs();
    const qint64 faultTo = faultFrom + 3000;
    s.rig.runFor(2900);
    QCOMPARE(lineCount(s.rig.runCsv()), s.before);
    int silentTicks = 0;
    for (const DisplayTick &t : s.rig.ticks()) {
        if (t.atMs <= faultFrom)
            continue;
        ++silentTicks;
        QCOMPARE(t.status, QStringLiteral("EtherCAT read failed"));
    }
    QVERIFY2(silentTicks >= 1, "no display tick while the sensor was silent");

    QVERIFY2(s.rig.waitUntil([&] { return lineCount(s.rig.runCsv()) > s.before; }, 15000), qPrintable(s.rig.status()));
    qint64 firstRecordAt = -1;
    for (const DisplayTick &t : s.rig.ticks())
        if (t.runLines > s.before) {
            firstRecordAt = t.atMs;
            break;
        }
    QVERIFY(firstRecordAt >= faultTo);
    printFigure("end of silence to first valid record", firstRecordAt - faultTo, "ms");
    QVERIFY2(backToValid(s.rig), qPrintable(s.rig.status()));

    // After the silence, before the first record: what the outcome table gives for
    // a failed read or a check that saw the failed exchange.
    const QRegularExpression issue("^EtherCAT issue: state=0x[0-9a-f]+ WKC=-?\\d+$");
    int issues = 0;
    for (const DisplayTick &t : s.rig.ticks()) {
        if (t.atMs <= faultTo || t.atMs >= firstRecordAt)
            continue;
        const bool allowed = t.status == "EtherCAT read failed" || issue.match(t.status).hasMatch();
        QVERIFY2(allowed, qPrintable(t.status));
        if (t.status.startsWith("EtherCAT issue"))
            ++issues;
    }
    QCOMPARE(s.messages.count("ETHERCAT ISSUE"), issues);

    std::printf("timeline (0 = end of the silence):\n");
    printTimeline(s.rig.ticks(), faultTo);
    verifyTally("silence of 3 s", s, faultFrom, faultTo);
    verifyFiles(s.rig, true);
}

// Every display tick's status must be a link issue, or a read that failed
// (a process-data reply later than the 2 ms receive wait, which a loaded
// machine produces now and then; the outcome table shows no issue for it).
// Returns the states the issues showed (hex); most ticks must show one.
static QStringList issueStates(const QVector<DisplayTick> &ticks, int first, const MessageCapture &messages)
{
    const QRegularExpression issue("^EtherCAT issue: state=0x([0-9a-f]+) WKC=(-?\\d+)$");
    QStringList states;
    int readFailed = 0;
    for (int i = first; i < ticks.size(); ++i) {
        if (ticks[i].status == QLatin1String("EtherCAT read failed")) {
            ++readFailed;
            continue;
        }
        const auto m = issue.match(ticks[i].status);
        if (!m.hasMatch()) {
            QTest::qFail(qPrintable("not a link issue: " + ticks[i].status), __FILE__, __LINE__);
            return {};
        }
        states << m.captured(1);
    }
    if (readFailed * 2 >= ticks.size() - first) {
        QTest::qFail(qPrintable(QString("%1 of %2 display ticks failed their read").arg(readFailed).arg(ticks.size() - first)),
                     __FILE__, __LINE__);
        return {};
    }
    const QRegularExpression message("^ETHERCAT ISSUE state= (\\d+) wkc= -?\\d+$");
    QStringList messageStates;
    for (const QString &m : messages.messages())
        if (m.startsWith("ETHERCAT ISSUE")) {
            const auto mm = message.match(m);
            if (!mm.hasMatch()) {
                QTest::qFail(qPrintable("debug message: " + m), __FILE__, __LINE__);
                return {};
            }
            messageStates << QString::number(mm.captured(1).toInt(), 16);
        }
    // One message per issue shown, with the same state in decimal.
    if (messageStates.mid(messageStates.size() - states.size()) != states) {
        QTest::qFail(qPrintable("messages " + messageStates.join(',') + " vs labels " + states.join(',')), __FILE__, __LINE__);
        return {};
    }
    return states;
}

void FaultsTest::refuseOp()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--pressure", kSimPressure, "--refuse-op", "hold"}, WHY));
    s.rig.clickStart();
    QCOMPARE(s.rig.logging(), QStringLiteral("Logging ON"));
    QVERIFY(s.rig.waitDisplayTicks(5, 15000));
    std::printf("simulator: %s\n", qPrintable(s.sim.command("stats")));
    printTimeline(s.rig.ticks(), 0);
    const QStringList states = issueStates(s.rig.ticks(), 0, s.messages);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(lineCount(s.rig.runCsv()), 0);
    QCOMPARE(lineCount(s.rig.dailyCsv()), 0);
    QCOMPARE(s.messages.count("INVALID PRESSURE"), 0);
    QCOMPARE(s.rig.pressure(), QStringLiteral("1013.250 mbar"));
    // A state read that timed out shows state 0 (no state known); every other tick shows
    // the slave's state, and most ticks must know it.
    const QStringList known = states.filter(QRegularExpression("^[^0]"));
    printFigure("refused OP: display ticks whose state read timed out", states.size() - known.size(), "ticks");
    QVERIFY2(known.size() * 2 > states.size(), qPrintable("states shown: " + states.join(',')));
    // The slave leaves the OP request pending and stays in SAFE-OP: state=0x4.
    QCOMPARE(known.filter(QRegularExpression("^4$")).size(), known.size());
}

void FaultsTest::errorState()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--pressure", kSimPressure}, WHY));
    REQUIRE_OK(s.startLogging(2, WHY));
    QCOMPARE(commandOk(s.sim, "error-state 0x18 0x001B"), QString());
    const int firstTick = s.rig.ticks().size();
    QVERIFY(s.rig.waitDisplayTicks(5, 15000));
    std::printf("simulator: %s\n", qPrintable(s.sim.command("stats")));
    printTimeline(s.rig.ticks(), 0);
    const QStringList states = issueStates(s.rig.ticks(), firstTick, s.messages);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(lineCount(s.rig.runCsv()), s.before);
    verifyFiles(s.rig, true);
    // OP with the error bit on every tick whose state read came back (0: it timed out).
    const QStringList known = states.filter(QRegularExpression("^[^0]"));
    printFigure("error state: display ticks whose state read timed out", states.size() - known.size(), "ticks");
    QVERIFY2(known.size() * 2 > states.size(), qPrintable("states shown: " + states.join(',')));
    QVERIFY2(known.filter(QRegularExpression("^18$")).size() == known.size(),
             qPrintable("states shown: " + states.join(',')));
}

void FaultsTest::dropsForAMinute()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--pressure", kSimPressure, "--seed", "11"}, WHY));
    REQUIRE_OK(s.startLogging(1, WHY));
    QCOMPARE(commandOk(s.sim, "drop 0.05"), QString());
    const qint64 faultFrom = s.rig.nowMs();
    s.rig.runFor(60000);
    const qint64 faultTo = s.rig.nowMs();
    QCOMPARE(commandOk(s.sim, "drop 0"), QString());
    QVERIFY2(backToValid(s.rig), qPrintable(s.rig.status()));
    std::printf("simulator: %s\n", qPrintable(s.sim.command("stats")));

    Tally t;
    verifyTally("5% frames dropped", s, faultFrom, faultTo, &t);
    const QRegularExpression issue("^EtherCAT issue: state=0x[0-9a-f]+ WKC=-?\\d+$");
    for (const QString &status : t.statuses)
        QVERIFY2(status == kValid || status == "EtherCAT read failed" || issue.match(status).hasMatch(),
                 qPrintable(status));
    verifyFiles(s.rig, true);
    QVERIFY(t.records > 0);
}

void FaultsTest::corruptAndTruncatedForAMinute()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--pressure", kSimPressure, "--seed", "12"}, WHY));
    REQUIRE_OK(s.startLogging(1, WHY));
    QCOMPARE(commandOk(s.sim, "corrupt 0.05"), QString());
    QCOMPARE(commandOk(s.sim, "truncate 0.05"), QString());
    const qint64 faultFrom = s.rig.nowMs();
    s.rig.runFor(60000);
    const qint64 faultTo = s.rig.nowMs();
    QCOMPARE(commandOk(s.sim, "corrupt 0"), QString());
    QCOMPARE(commandOk(s.sim, "truncate 0"), QString());
    QVERIFY(s.rig.waitDisplayTicks(2, 10000));
    std::printf("simulator: %s\n", qPrintable(s.sim.command("stats")));

    Tally t;
    verifyTally("5% replies corrupted and 5% truncated", s, faultFrom, faultTo, &t);
    int altered = 0;
    verifyFiles(s.rig, false, &altered);
    // A reply whose bytes were changed inside the process data but nowhere the
    // master can see (no frame check sequence reaches it) reads as a plausible
    // value: count them, they are the fault's own and not the tool's.
    printFigure("records with a pressure altered by corruption", altered, "records");
    QVERIFY(t.records > 0);
    // The tool is still running and healthy once the faults stop.
    QVERIFY(s.rig.waitUntil([&] { return s.rig.status() == kValid || s.rig.status() == "Reconnected"; }, 10000));
}

void FaultsTest::extraSlavesIgnored()
{
    Scenario s;
    REQUIRE_OK(s.bringUp({"--slaves", "sensor,dig-out,dig-in", "--pressure", "987.5"}, WHY));
    QVERIFY2(s.rig.waitUntil([&] { return s.rig.status() == kValid; }, 5000), qPrintable(s.rig.status()));
    QCOMPARE(s.rig.pressure(), QStringLiteral("987.500 mbar"));
    REQUIRE_OK(s.startLogging(2, WHY));
    const CsvCheck run = checkCsvFile(s.rig.runCsv());
    QVERIFY2(run.ok(), qPrintable(run.problems.join('\n')));
    for (const Record &r : run.records)
        QCOMPARE(r.pressure, 987.5);
    QCOMPARE(s.messages.count("INVALID PRESSURE"), 0);
}

void FaultsTest::refusedBus_data()
{
    QTest::addColumn<QString>("slaves");
    QTest::addColumn<QString>("cause");   // a word the stderr line must contain
    QTest::newRow("input image of 4 bytes") << "short-sensor" << "input";
    QTest::newRow("process data over 4096 bytes") << "sensor,big-in" << "4096";
}

void FaultsTest::refusedBus()
{
    QFETCH(QString, slaves);
    QFETCH(QString, cause);
    Scenario s;
    QString why;
    QVERIFY2(s.sim.start({"--slaves", slaves}, &why), qPrintable(why));
    QVERIFY2(s.rig.build(&why), qPrintable(why));
    QVERIFY(s.rig.selectAdapter(masterInterface()));
    QString printed;
    {
        StderrCapture err;
        s.rig.clickConnect();
        printed = QString::fromStdString(err.text());
    }
    std::printf("stderr of the refused connect: %s", qPrintable(printed));
    QCOMPARE(s.rig.status(), QStringLiteral("Connection failed"));
    const QStringList lines = printed.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 1, qPrintable(printed));
    QVERIFY2(lines.first().contains(cause, Qt::CaseInsensitive), qPrintable(lines.first()));
    // Not connected: the ticks leave the labels alone and nothing is logged.
    s.rig.clickStart();
    QVERIFY(s.rig.waitDisplayTicks(2, 10000));
    QCOMPARE(s.rig.status(), QStringLiteral("Connection failed"));
    QCOMPARE(s.rig.pressure(), QStringLiteral("---- mbar"));
    QCOMPARE(lineCount(s.rig.runCsv()), 0);
    QCOMPARE(s.messages.count("ETHERCAT ISSUE"), 0);
}

QTEST_MAIN(FaultsTest)
#include "tst_e2e_faults.moc"
