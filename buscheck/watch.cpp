#include "watch.h"

#include "facts_text.h"
#include "stop_signals.h"
#include "tick_loop.h"

#include <acquisition_rule.h>
#include <pressure_link.h>
#include <tick_counter.h>

namespace buscheck {

namespace {

// The last second shown, judged by the window's rule: a reading it records
// is a working sensor.
Verdict judgeSecond(const acquisition::Outcome &outcome, int invalidCount, const QString &health)
{
    Verdict v;
    if (outcome.record) {
        v.summary = QStringLiteral("slave 1 was a working pressure sensor in OP until the end");
        return v;
    }
    v.exitStatus = 1;
    if (outcome.reconnect)
        v.summary = QStringLiteral("at the end slave 1 was reporting invalid readings, %1 in a row "
                                   "(the window reconnects after %2)")
                        .arg(invalidCount)
                        .arg(acquisition::kReconnectAfterInvalid);
    else if (outcome.status == acquisition::Status::PressureInvalid)
        v.summary = QStringLiteral("at the end slave 1 was reporting invalid readings");
    else
        v.summary = QStringLiteral("at the end slave 1 was not healthy: ") + health;
    v.next = QStringLiteral("run the check without --watch for the whole report of the bus");
    return v;
}

} // namespace

Verdict watchBus(QTextStream &out, StopSignals &stop)
{
    out << "\nWatching: one line a second, Ctrl-C to stop.\n";
    out.flush();
    int tick = 0;
    int invalidCount = 0;
    int seconds = 0;
    Verdict last;
    last.exitStatus = 1;
    last.summary = QStringLiteral("stopped before the first second was shown");
    last.next = QStringLiteral("let --watch run for at least a second");
    runTicks(stop, [&] {
        tick = tick_counter::next(tick);
        // As the window's tick: the check first, so it sees the previous
        // exchange's working counter.
        acquisition::Exchange x;
        x.checkOk = ecat_check(&x.state, &x.wkc);
        x.readOk = ecat_read(&x.pressure, &x.valid, &x.over, &x.under);
        invalidCount = acquisition::countInvalid(invalidCount, x);
        if (!tick_counter::isDisplayTick(tick))
            return true;
        const acquisition::Outcome outcome = acquisition::decide(x, invalidCount);
        ++seconds;
        const QString health = QStringLiteral("%1, working counter %2: %3")
                                   .arg(stateText(x.state))
                                   .arg(x.wkc)
                                   .arg(x.checkOk ? QStringLiteral("healthy") : QStringLiteral("not healthy"));
        if (outcome.reading) {
            ReadingRecord flags;
            flags.valid = x.valid;
            flags.over = x.over;
            flags.under = x.under;
            out << QStringLiteral("%1 s  %2 mbar  %3  |  %4\n")
                       .arg(seconds, 5)
                       .arg(outcome.mbar, 10, 'f', 3)
                       .arg(flagsText(flags), -14)
                       .arg(health);
        } else {
            out << QStringLiteral("%1 s  %2  |  %3\n").arg(seconds, 5).arg(QStringLiteral("no reading"), -30).arg(health);
        }
        out.flush();
        last = judgeSecond(outcome, invalidCount, health);
        return true;
    });
    return last;
}

} // namespace buscheck
