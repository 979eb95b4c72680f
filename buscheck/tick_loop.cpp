#include "tick_loop.h"

#include "stop_signals.h"

#include <tick_counter.h>

#include <QEventLoop>
#include <QTimer>

namespace buscheck {

int runTicks(StopSignals &stop, const std::function<bool()> &tick)
{
    if (stop.received())
        return stop.received();
    QEventLoop loop;
    QTimer timer;
    timer.setInterval(tick_counter::kTickMs);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (!tick())
            loop.quit();
    });
    QObject::connect(&stop, &StopSignals::stopRequested, &loop, &QEventLoop::quit);
    timer.start();
    loop.exec();
    return stop.received();
}

} // namespace buscheck
