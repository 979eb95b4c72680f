#include "scenario.h"

#include "record_check.h"

#include <cstdio>

namespace e2e {

const QString kValid = QStringLiteral("Connected, valid pressure");

bool Scenario::bringUp(const QStringList &simArgs, QString *error)
{
    if (!sim.start(simArgs, error))
        return false;
    if (!rig.build(error))
        return false;
    if (!rig.selectAdapter(testsupport::masterInterface())) {
        *error = QStringLiteral("adapter %1 is not in the list").arg(testsupport::masterInterface());
        return false;
    }
    const qint64 t0 = rig.nowMs();
    rig.clickConnect();
    std::printf("connect took %lld ms\n", static_cast<long long>(rig.nowMs() - t0));
    if (rig.status() != QLatin1String("Connected")) {
        *error = QStringLiteral("after Connect the status is \"%1\", expected \"Connected\"; simulator stderr: %2")
                         .arg(rig.status(), sim.stderrText());
        return false;
    }
    return true;
}

bool startLogging(WindowRig &rig, int records, QString *error)
{
    rig.clickStart();
    if (rig.logging() != QLatin1String("Logging ON")) {
        *error = QStringLiteral("after Start Logging the label is \"%1\"").arg(rig.logging());
        return false;
    }
    const bool ok = rig.waitUntil(
            [&] { return !rig.runCsv().isEmpty() && testsupport::lineCount(rig.runCsv()) >= records; },
            records * 1500 + 5000);
    if (!ok)
        *error = QStringLiteral("no %1 records within time; status \"%2\"").arg(records).arg(rig.status());
    return ok;
}

bool Scenario::startLogging(int records, QString *error)
{
    if (!e2e::startLogging(rig, records, error))
        return false;
    firstTick = rig.ticks().size();
    before = testsupport::lineCount(rig.runCsv());
    return true;
}

Tally tally(const QVector<DisplayTick> &ticks, int first, qint64 faultFromMs, qint64 faultToMs)
{
    Tally t;
    for (int i = qMax(first, 1); i < ticks.size(); ++i) {
        const DisplayTick &prev = ticks[i - 1];
        const DisplayTick &cur = ticks[i];
        const int added = cur.runLines - prev.runLines;
        ++t.displayTicks;
        t.records += added;
        if (!t.statuses.contains(cur.status))
            t.statuses << cur.status;
        const bool shouldLog = cur.status == kValid;
        if (added != (shouldLog ? 1 : 0))
            t.inconsistencies << QStringLiteral("tick %1 (%2 ms): status \"%3\" but %4 record(s) added")
                                         .arg(cur.tick).arg(cur.atMs).arg(cur.status).arg(added);
        if (cur.dailyLines - prev.dailyLines != added)
            t.inconsistencies << QStringLiteral("tick %1: %2 run record(s) but %3 daily record(s)")
                                         .arg(cur.tick).arg(added).arg(cur.dailyLines - prev.dailyLines);
        if (added == 0) {
            if (cur.atMs >= faultFromMs && cur.atMs <= faultToMs)
                ++t.duringFault;
            else
                ++t.lostOutside;
        }
    }
    return t;
}

void printTimeline(const QVector<DisplayTick> &ticks, qint64 originMs)
{
    for (const DisplayTick &t : ticks)
        std::printf("  %+7lld ms  tick %-6d run %-3d daily %-3d  %s | %s | %s\n",
                    static_cast<long long>(t.atMs - originMs), t.tick, t.runLines, t.dailyLines,
                    qPrintable(t.pressure), qPrintable(t.status), qPrintable(t.logging));
    std::fflush(stdout);
}

}  // namespace e2e
