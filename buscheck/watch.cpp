#include "watch.h"

#include "facts_text.h"
#include "stop_signals.h"
#include "tick_loop.h"

#include <pressure_link.h>
#include <tick_counter.h>

namespace buscheck {

Verdict watchBus(QTextStream &out, StopSignals &stop)
{
    out << "\nWatching: one line a second, Ctrl-C to stop.\n";
    out.flush();
    int tick = 0;
    int seconds = 0;
    Verdict last;
    last.exitStatus = 1;
    last.summary = QStringLiteral("stopped before the first second was shown");
    last.next = QStringLiteral("let --watch run for at least a second");
    runTicks(stop, [&] {
        tick = tick_counter::next(tick);
        int state = 0;
        int wkc = 0;
        ReadingRecord r;
        // As the window's tick: the check first, so it sees the previous
        // exchange's working counter.
        r.healthy = ecat_check(&state, &wkc) == 1;
        r.result = ecat_read(&r.raw, &r.valid, &r.over, &r.under);
        if (!tick_counter::isDisplayTick(tick))
            return true;
        ++seconds;
        const QString health = QStringLiteral("%1, working counter %2: %3")
                                   .arg(stateText(state))
                                   .arg(wkc)
                                   .arg(r.healthy ? QStringLiteral("healthy") : QStringLiteral("not healthy"));
        if (r.result == 1)
            out << QStringLiteral("%1 s  %2 mbar  %3  |  %4\n")
                       .arg(seconds, 5)
                       .arg(double(r.raw) / 100.0, 10, 'f', 3)
                       .arg(flagsText(r), -14)
                       .arg(health);
        else
            out << QStringLiteral("%1 s  %2  |  %3\n").arg(seconds, 5).arg(QStringLiteral("no reading"), -30).arg(health);
        out.flush();

        last = Verdict();
        if (r.healthy && r.result == 1 && r.valid) {
            last.summary = QStringLiteral("slave 1 was a working pressure sensor in OP until the end");
        } else {
            last.exitStatus = 1;
            last.summary = QStringLiteral("at the end slave 1 was %1").arg(r.result == 1 && !r.valid
                                                                               ? QStringLiteral("reporting invalid readings")
                                                                               : QStringLiteral("not healthy: ") + health);
            last.next = QStringLiteral("run the check without --watch for the whole report of the bus");
        }
        return true;
    });
    return last;
}

} // namespace buscheck
