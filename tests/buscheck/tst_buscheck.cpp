// pressure-bus-check against the simulated sensor, inside the private
// namespace of scripts/netns-run: what it reports for a good bus and for
// each way a bus fails, its exit statuses, and that it always leaves the
// slaves out of OP. Built against our master or an installed SOEM 2.x, as
// the program is: facts beyond SOEM's interface are in the report only with
// our master.
#include "sim_process.h"

#include <adapter_names.h>

#include <ecwire/al_status.h>
#include <ecwire/hex.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <utility>

#if __has_include(<ethercat/diagnostics.h>)
constexpr bool kMasterTellsMore = true; // our master: ESC type, size sources, its messages
#else
constexpr bool kMasterTellsMore = false;
#endif

using testsupport::awaitLine;
using testsupport::SimProcess;

namespace {

struct Run : testsupport::Finished {
    QJsonObject json; // with --json

    QString lastLine() const { return out.trimmed().split(QLatin1Char('\n')).last(); }
    QString lastErrLine() const { return err.trimmed().split(QLatin1Char('\n')).last(); }
};

QString program() { return QStringLiteral(BUSCHECK_EXE); }

// Runs the bus check to its end; `prefix` runs it through another program
// (setpriv).
Run runCheck(const QStringList &args, const QStringList &prefix = {})
{
    Run r;
    static_cast<testsupport::Finished &>(r) =
        prefix.isEmpty() ? testsupport::runToEnd(program(), args)
                         : testsupport::runToEnd(prefix.front(), prefix.mid(1) + QStringList{program()} + args);
    if (args.contains(QLatin1String("--json")))
        r.json = QJsonDocument::fromJson(r.out.toUtf8()).object();
    return r;
}

// The text block of slave N: from its heading to the next blank line or slave.
QString slaveBlock(const QString &text, int n)
{
    const int from = text.indexOf(QStringLiteral("  slave %1, station address").arg(n));
    if (from < 0)
        return QString();
    int to = text.indexOf(QRegularExpression(QStringLiteral("\\n(\\n|  slave )")), from + 1);
    return text.mid(from, to < 0 ? -1 : to - from);
}

// The check on `args` twice, as text and as JSON: the same exit status, and
// `reason` in both reports (in the JSON anywhere, as a script would search
// it). *text gets the text run, *json the JSON one.
void runBothReports(const QStringList &args, const QString &reason, Run *text, Run *json)
{
    *text = runCheck(args);
    *json = runCheck(QStringList{"--json"} + args);
    QCOMPARE(json->exitCode, text->exitCode);
    QVERIFY2(text->out.contains(reason), qPrintable(reason + " not in:\n" + text->out));
    const QString all = QString::fromUtf8(QJsonDocument(json->json).toJson(QJsonDocument::Compact));
    QVERIFY2(all.contains(reason), qPrintable(reason + " not in:\n" + json->out));
}

// An interface's operational state as this namespace's kernel has it.
QString operState(const QString &iface)
{
    QFile f("/sys/class/net/" + iface + "/operstate");
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).trimmed() : QString();
}

// Each slave's AL state as the simulator holds it ("INIT", "SAFE-OP+ERR", ...).
QStringList simStates(SimProcess &sim)
{
    const QString stats = sim.command(QStringLiteral("stats"));
    QStringList states;
    static const QRegularExpression re(QStringLiteral("slave\\d+=[^:\\s]+:([A-Z+-]+):"));
    for (auto it = re.globalMatch(stats); it.hasNext();)
        states << it.next().captured(1);
    return states;
}

// Waits (briefly) until the simulator has handled the INIT request that the
// bus check sent as it ended.
bool awaitAllInInit(SimProcess &sim)
{
    return QTest::qWaitFor(
        [&] {
            const QStringList states = simStates(sim);
            return !states.isEmpty() && states.count(QStringLiteral("INIT")) == states.size();
        },
        2000);
}

} // namespace

class TestBusCheck : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void badUsage_data();
    void badUsage();
    void helpForTheTechnician();
    void adapterListFollowsTheKernel();
    void goodBusFullReportAndSameFactsInJson();
    void noSlave_data();
    void noSlave();
    void shortInputImage();
    void slaveRefusesOp_data();
    void slaveRefusesOp();
    void sdoAbortIsReported();
    void safeOpHold();
    void invalidReadings();
    void stopDuringConnectLeavesNoSlaveInOp();
    void unknownAdapter();
    void watchEndsOnSignalWithSlavesInInit_data();
    void watchEndsOnSignalWithSlavesInInit();
    void watchShowsTrouble_data();
    void watchShowsTrouble();

private:
    void startSim(const QStringList &args);

    SimProcess sim;
    QString master;
};

void TestBusCheck::initTestCase()
{
    if (!testsupport::insideNamespace())
        QSKIP(testsupport::kNeedsNamespace);
    master = testsupport::masterInterface();
}

void TestBusCheck::cleanup()
{
    sim.stop();
}

void TestBusCheck::startSim(const QStringList &args)
{
    QString error;
    QVERIFY2(sim.start(args, &error), qPrintable(error));
}

void TestBusCheck::badUsage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--bogus"};
    QTest::newRow("two adapters") << QStringList{"ecm0", "ecs0"};
    QTest::newRow("empty adapter name") << QStringList{""};
    QTest::newRow("watch without adapter") << QStringList{"--watch"};
    QTest::newRow("watch with json") << QStringList{"--watch", "--json", "ecm0"};
}

void TestBusCheck::badUsage()
{
    QFETCH(QStringList, args);
    const Run r = runCheck(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.lastErrLine().startsWith("Next: "), qPrintable(r.err));
}

void TestBusCheck::helpForTheTechnician()
{
    const Run r = runCheck({"--help"});
    QCOMPARE(r.exitCode, 0);
    for (const char *needed : {"--json", "--watch", "ADAPTER", "Exit status", "sudo usermod -aG pressure-monitor USER"})
        QVERIFY2(r.out.contains(QLatin1String(needed)), needed);
}

// Link state comes from the kernel of this namespace: a peer taken down
// takes the carrier away from ecm0. The adapters come in the master's order.
void TestBusCheck::adapterListFollowsTheKernel()
{
    QStringList listed; // as the master lists them for the window
    for (const ecat::AdapterName &a : ecat::findAdapters())
        listed << QString::fromStdString(a.name);
    QVERIFY2(listed.contains("ecm0") && listed.contains("ecs0"), qPrintable(listed.join(' ')));
    Run r = runCheck({});
    QCOMPARE(r.exitCode, 0);
    int at = 0;
    for (const QString &name : listed) {
        at = r.out.indexOf("  " + name + "\n", at);
        QVERIFY2(at >= 0, qPrintable(name + " not in its place:\n" + r.out));
    }
    for (const QString &name : {QString("ecm0"), QString("ecs0")})
        QVERIFY2(r.out.contains(QRegularExpression("  " + name + "\n.*\n    link: up, carrier yes\n")), qPrintable(r.out));
    QVERIFY(r.out.contains("raw EtherCAT frames: yes (root)"));

    QCOMPARE(QProcess::execute("ip", {"link", "set", "ecs0", "down"}), 0);
    // The kernel tells the peer's loss of carrier a moment later (its link
    // watch runs deferred): the check runs once ecm0's state shows it.
    QTRY_COMPARE_WITH_TIMEOUT(operState("ecm0"), QString("lowerlayerdown"), 5000);
    r = runCheck({"--json"});
    QCOMPARE(QProcess::execute("ip", {"link", "set", "ecs0", "up"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(operState("ecm0"), QString("up"), 5000);
    QCOMPARE(r.exitCode, 0);
    const QJsonObject j = r.json;
    const QJsonArray list = j["adapters"].toArray();
    QCOMPARE(list.size(), listed.size());
    const QJsonValue ecm0 = list[listed.indexOf("ecm0")], ecs0 = list[listed.indexOf("ecs0")];
    QCOMPARE(ecm0["name"].toString(), QString("ecm0"));
    QCOMPARE(ecm0["link"]["up"].toBool(), true);
    QCOMPARE(ecm0["link"]["carrier"].toBool(), false);
    QCOMPARE(ecs0["link"]["up"].toBool(), false);
    QCOMPARE(j["rawAccess"]["allowed"].toBool(), true);
}

void TestBusCheck::goodBusFullReportAndSameFactsInJson()
{
    startSim({"--slaves", "sensor,dig-out", "--pressure", "1013.25"});
    const Run text = runCheck({master});
    QCOMPARE(text.exitCode, 0);
    QVERIFY2(awaitAllInInit(sim), qPrintable(simStates(sim).join(' ')));
    const Run json = runCheck({"--json", master});
    QCOMPARE(json.exitCode, 0);
    const QJsonObject &j = json.json;

    // Every step of the connect, in the window's order, each with its time.
    const QStringList steps{"open the adapter", "find the slaves", "map the process data",
                            "set up distributed clocks", "wait for SAFE-OP", "first process-data exchange",
                            "request OP", "wait for OP"};
    int at = 0;
    for (const QString &step : steps) {
        const int found = text.out.indexOf(QRegularExpression("  " + QRegularExpression::escape(step)
                                                              + ".* \\d+\\.\\d+ ms "), at);
        QVERIFY2(found >= at, qPrintable(step));
        at = found;
    }
    QCOMPARE(j["steps"].toArray().size(), steps.size());
    QCOMPARE(j["steps"][7]["result"].toInt(), 8); // the bus reported OP

    // The slaves: the same facts in both reports.
    const QJsonArray slaves = j["slaves"].toArray();
    QCOMPARE(slaves.size(), 2);
    for (int i = 0; i < slaves.size(); ++i) {
        const QJsonObject s = slaves[i].toObject();
        const QString block = slaveBlock(text.out, i + 1);
        QVERIFY2(!block.isEmpty(), qPrintable(text.out));
        for (const char *key : {"vendorId", "productCode", "revision", "serial"})
            QVERIFY2(block.contains(QString::fromStdString(ecwire::hex(quint32(s[key].toDouble()), 8))), key);
        QVERIFY(block.contains(s["name"].toString()));
        QVERIFY(block.contains(QString("output bytes        %1").arg(s["outputBytes"].toInt())));
        QVERIFY(block.contains(QString("input bytes         %1").arg(s["inputBytes"].toInt())));
        // Beyond SOEM's interface: told by our master, "not reported" by another.
        const QString notReported("not reported by this master");
        QCOMPARE(s["escType"].isNull(), !kMasterTellsMore);
        QCOMPARE(s["mappingFrom"].isNull(), !kMasterTellsMore);
        const QString esc = kMasterTellsMore
            ? "0x" + QString::number(s["escType"].toInt(), 16).toUpper().rightJustified(2, '0') : notReported;
        QVERIFY2(block.contains("ESC type            " + esc), qPrintable(block));
        QVERIFY(block.contains("mapping from        " + (kMasterTellsMore ? s["mappingFrom"].toString() : notReported)));
        QCOMPARE(s["state"].toInt(), 8);
        QVERIFY(block.contains("state               OP"));
    }
    // The sensor offers CoE, the digital output module has its PDOs in the SII only.
    QCOMPARE(slaves[0]["mailboxProtocols"].toArray(), QJsonArray{"CoE"});
    QCOMPARE(slaves[0]["inputBytes"].toInt(), 5);
    QCOMPARE(slaves[1]["outputBytes"].toInt(), 1);
    if (kMasterTellsMore) {
        QCOMPARE(slaves[0]["mappingFrom"].toString(), QString("CoE"));
        QCOMPARE(slaves[1]["mappingFrom"].toString(), QString("SII"));
        QCOMPARE(slaves[1]["outputsFrom"].toString(), QString("SII PDO categories"));
    }
    QCOMPARE(j["masterMessages"].isArray(), kMasterTellsMore);
    QCOMPARE(j["sensor"]["qualifies"].toBool(), true);
    QVERIFY(text.out.contains("slave 1 (" + slaves[0]["name"].toString() + ") qualifies"));

    // Ten readings: the flags, the raw value, mbar and the working counter
    // the master expects (2 for the outputs plus 1 for the inputs). Every
    // reading that comes back is exact; the check still passes with one of
    // ten lost, which a loaded test machine may cause by answering the
    // link's 2 ms receive late.
    const QJsonArray readings = j["readings"].toArray();
    QCOMPARE(readings.size(), 10);
    QCOMPARE(j["expectedWkc"].toInt(), 3);
    int exact = 0;
    for (const QJsonValue &x : readings) {
        if (x["result"].toInt() != 1) {
            QCOMPARE(x["wkc"].toInt(), -1);
            continue;
        }
        QCOMPARE(x["valid"].toBool(), true);
        QCOMPARE(x["raw"].toDouble(), 101325.0);
        QCOMPARE(x["mbar"].toDouble(), 1013.25);
        ++exact;
    }
    QVERIFY2(exact >= 9, qPrintable(QString::number(exact)));
    const int exactLines = text.out.count(QRegularExpression("\\n +\\d+  valid +101325\\.00 +1013\\.250 +3  OP, healthy"));
    QVERIFY2(exactLines >= 9, qPrintable(text.out));
    QCOMPARE(exactLines + text.out.count(QRegularExpression("\\n +\\d+  no frame came back ")), 10);

    QCOMPARE(j["broughtDown"].toBool(), true);
    QVERIFY(text.out.contains("Bus brought down"));
    QCOMPARE(j["verdict"]["exitStatus"].toInt(), 0);
    QVERIFY(text.lastLine().startsWith("Result: slave 1 is a working pressure sensor in OP"));
}

void TestBusCheck::noSlave_data()
{
    QTest::addColumn<bool>("simulatorRuns");
    QTest::newRow("nothing on the cable") << false;
    QTest::newRow("a silent simulator") << true;
}

void TestBusCheck::noSlave()
{
    QFETCH(bool, simulatorRuns);
    if (simulatorRuns)
        startSim({"--silence", "60"});
    Run r, json;
    runBothReports({master}, "no EtherCAT slave answered on " + master, &r, &json);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(r.exitCode, 1);
    QVERIFY(r.out.contains("find the slaves"));
    QVERIFY(r.out.contains("no slave answered"));
    QVERIFY2(r.lastLine().startsWith("Next: "), qPrintable(r.out));
    QVERIFY(!r.out.contains("Slaves ("));
    QCOMPARE(std::as_const(json.json)["steps"][1]["text"].toString(), QString("no slave answered"));
}

void TestBusCheck::shortInputImage()
{
    startSim({"--slaves", "short-sensor"});
    Run text, json;
    runBothReports({master}, "has 4 input bytes, expected at least 5", &text, &json);
    if (QTest::currentTestFailed())
        return;
    const Run &r = json;
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.json["connected"].toBool(), false);
    QCOMPARE(r.json["steps"].toArray().last()["step"].toString(), QString("map-process-data"));
    QCOMPARE(r.json["slaves"][0]["inputBytes"].toInt(), 4);
    QCOMPARE(r.json["sensor"]["qualifies"].toBool(), false);
    QVERIFY(r.json["readings"].toArray().isEmpty());
    QVERIFY(r.lastErrLine().startsWith("Next: "));
}

// A slave that refuses OP stays in SAFE-OP with the error indication and
// says why in its AL status code (ETG.1000.6, AL status codes).
void TestBusCheck::slaveRefusesOp_data()
{
    QTest::addColumn<int>("code");
    QTest::newRow("0x0011 invalid requested state change") << 0x0011;
    QTest::newRow("0x001B sync manager watchdog") << 0x001B;
}

void TestBusCheck::slaveRefusesOp()
{
    QFETCH(int, code);
    const QString hex = QString("0x%1").arg(code, 4, 16, QChar('0')).toUpper().replace("0X", "0x");
    startSim({"--refuse-op", "on", hex});
    const QString meaning = QString::fromUtf8(ecwire::al::statusCodeText(uint16_t(code)));
    Run r, json;
    runBothReports({master}, QString("AL status %1 (%2)").arg(hex, meaning), &r, &json);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(std::as_const(json.json)["slaves"][0]["alStatusCode"].toInt(), code);
    QVERIFY(slaveBlock(r.out, 1).contains(QString("SAFE-OP + ERROR, short of OP: AL status %1 (%2)").arg(hex, meaning)));
    QVERIFY(r.out.contains(QRegularExpression("Result: .*SAFE-OP \\+ ERROR.*" + hex)));
    QVERIFY2(r.lastLine().startsWith("Next: ") && r.lastLine().contains(hex), qPrintable(r.out));
    QVERIFY(!simStates(sim).contains("OP"));
}

// A slave that announces complete access and refuses it with an SDO abort
// (ETG.1000.6 abort 0x06010000): the master records the abort in its error
// list, and both reports carry it.
void TestBusCheck::sdoAbortIsReported()
{
    startSim({"--slaves", "sensor+ca-refused"});
    const Run json = runCheck({"--json", master});
    QJsonObject abort;
    for (const QJsonValue &e : json.json["masterErrors"].toArray())
        if (e["type"].toString() == "SDO abort")
            abort = e.toObject();
    QVERIFY2(!abort.isEmpty(), qPrintable(json.out));
    QCOMPARE(abort["slave"].toInt(), 1);
    QCOMPARE(quint32(abort["code"].toDouble()), quint32(0x06010000));
    QCOMPARE(abort["meaning"].toString(), QString("unsupported access to an object"));
    QVERIFY(!abort["index"].isNull());
    // The master's own words for it, which may carry the time it was recorded.
    const Run text = runCheck({master});
    const int list = text.out.indexOf("The master's error list");
    QVERIFY2(list >= 0 && text.out.indexOf("06010000", list) > list, qPrintable(text.out));
}

void TestBusCheck::safeOpHold()
{
    startSim({"--refuse-op", "hold"});
    const Run r = runCheck({"--json", master});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.json["connected"].toBool(), true); // Connect succeeds: OP was requested
    QCOMPARE(r.json["slaves"][0]["state"].toInt(), 4);
    QCOMPARE(r.json["slaves"][0]["alStatusCode"].toInt(), 0);
    QCOMPARE(r.json["readings"].toArray().size(), 10);
    QCOMPARE(r.json["readings"][0]["healthy"].toBool(), false);
    QCOMPARE(r.json["verdict"]["exitStatus"].toInt(), 1);
}

void TestBusCheck::invalidReadings()
{
    startSim({"--invalid", "on", "--flags", "over"});
    const Run r = runCheck({"--json", master});
    QCOMPARE(r.exitCode, 1);
    // Every reading that comes back carries the sensor's flags; as on the
    // good bus, one of ten may be lost on a loaded machine.
    const QJsonArray readings = r.json["readings"].toArray();
    QCOMPARE(readings.size(), 10);
    int read = 0;
    for (const QJsonValue &x : readings) {
        if (x["result"].toInt() != 1) {
            QCOMPARE(x["wkc"].toInt(), -1);
            continue;
        }
        QCOMPARE(x["valid"].toBool(), false);
        QCOMPARE(x["over"].toBool(), true);
        QCOMPARE(x["healthy"].toBool(), true); // the bus is fine, the sensor is not
        ++read;
    }
    QVERIFY2(read >= 9, qPrintable(QString::number(read)));
    QVERIFY(!r.json["verdict"]["next"].toString().isEmpty());
}

// A stop while the connect waits for OP (slave 2 holds SAFE-OP, slave 1 is
// already in OP): the connect ends its wait, then the bus goes down before
// any reading.
void TestBusCheck::stopDuringConnectLeavesNoSlaveInOp()
{
    startSim({"--slaves", "sensor,dig-in", "--slave", "2", "refuse-op", "hold"});
    QProcess p;
    p.start(program(), {master});
    QString seen;
    QVERIFY2(awaitLine(p, &seen, QRegularExpression("^  request OP ")), qPrintable(seen));
    // The slaves take their own time for the request (AL control acts after
    // the frame; the firmware then changes state).
    QTRY_COMPARE_WITH_TIMEOUT(simStates(sim), QStringList({"OP", "SAFE-OP"}), 1500);
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(10000));
    seen += QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitCode(), 128 + SIGTERM);
    QVERIFY(!seen.contains("Readings"));
    QVERIFY(seen.contains("Bus brought down"));
    QVERIFY2(awaitAllInInit(sim), qPrintable(simStates(sim).join(' ')));
    QCOMPARE(simStates(sim).size(), 2);
}

void TestBusCheck::unknownAdapter()
{
    const Run r = runCheck({"--json", "nosuch0"});
    QCOMPARE(r.exitCode, 1);
    QCOMPARE(r.json["link"]["known"].toBool(), false);
    QCOMPARE(r.json["steps"].toArray().size(), 1);
    QVERIFY(r.lastErrLine().startsWith("Next: "));
}

void TestBusCheck::watchEndsOnSignalWithSlavesInInit_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

void TestBusCheck::watchEndsOnSignalWithSlavesInInit()
{
    QFETCH(int, signalNumber);
    startSim({"--slaves", "sensor,dig-out", "--pressure", "500"});
    QProcess p;
    p.start(program(), {"--watch", master});
    QString seen;
    QVERIFY2(awaitLine(p, &seen, QRegularExpression("^ +1 s +500\\.000 mbar  valid .*OP.*: healthy$")),
             qPrintable(seen));
    QCOMPARE(simStates(sim), QStringList({"OP", "OP"}));
    ::kill(pid_t(p.processId()), signalNumber);
    QVERIFY(p.waitForFinished(5000));
    seen += QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(seen.contains("Bus brought down"));
    QVERIFY2(awaitAllInInit(sim), qPrintable(simStates(sim).join(' ')));
    QCOMPARE(simStates(sim).size(), 2);
}

// Trouble that starts while watched, each second judged by the window's
// rule: a bus gone silent (a pulled cable) shows no reading, the working
// counter of the lost exchange and not healthy; a sensor gone invalid on a
// healthy bus is what the window would reconnect for.
void TestBusCheck::watchShowsTrouble_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("result");
    QTest::newRow("silent bus") << "silence 30" << "no reading .*working counter -1: not healthy$"
                                << "^Result: at the end slave 1 was not healthy: ";
    QTest::newRow("invalid sensor")
        << "invalid on" << "mbar  invalid .*: healthy$"
        << "^Result: at the end slave 1 was reporting invalid readings, \\d+ in a row \\(the window reconnects after 5\\)$";
}

void TestBusCheck::watchShowsTrouble()
{
    QFETCH(QString, command);
    QFETCH(QString, line);
    QFETCH(QString, result);
    startSim({"--pressure", "500"});
    QProcess p;
    p.start(program(), {"--watch", master});
    QString seen;
    QVERIFY2(awaitLine(p, &seen, QRegularExpression(": healthy$")), qPrintable(seen));
    QVERIFY(sim.command(command).startsWith("ok"));
    QVERIFY2(awaitLine(p, &seen, QRegularExpression(line)), qPrintable(seen));
    QString more; // and a second line of it: a whole second of trouble
    QVERIFY2(awaitLine(p, &more, QRegularExpression(line)), qPrintable(seen + more));
    seen += more;
    ::kill(pid_t(p.processId()), SIGINT);
    QVERIFY(p.waitForFinished(5000));
    seen += QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(seen.contains(QRegularExpression(result, QRegularExpression::MultilineOption)), qPrintable(seen));
    QVERIFY(seen.trimmed().split('\n').last().startsWith("Next: "));
}

QTEST_GUILESS_MAIN(TestBusCheck)
#include "tst_buscheck.moc"
