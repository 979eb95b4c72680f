// Pieces shared by the scenarios that run the window against the simulator:
// bringing the link up and tallying display ticks against records.
#pragma once

#include "message_capture.h"
#include "sim_process.h"
#include "window_rig.h"

#include <QString>
#include <QStringList>

namespace e2e {

extern const QString kValid;     // "Connected, valid pressure"

// Presses Start Logging and waits until the run CSV holds `records` lines.
bool startLogging(WindowRig &rig, int records, QString *error);

// One scenario: the simulator, the window on the real link, and the
// process's debug output.
struct Scenario {
    testsupport::MessageCapture messages;
    testsupport::SimProcess sim;
    WindowRig rig;
    int firstTick = 0;   // after startLogging(): the display ticks taken until then
    int before = 0;      // after startLogging(): the run CSV's lines by then

    // Starts the simulator with `simArgs`, builds the window in a fresh working
    // directory, selects the master's adapter and presses Connect.
    // False with *error when any step fails or the status is not "Connected".
    bool bringUp(const QStringList &simArgs, QString *error);
    // e2e::startLogging, then notes firstTick and before.
    bool startLogging(int records, QString *error);
};

// How the display ticks of a logging run went, from tick `first` on (the first
// tick that follows a tick already taken while logging).
struct Tally {
    int displayTicks = 0;
    int records = 0;          // lines added to the run CSV over those ticks
    int duringFault = 0;      // ticks inside the fault window that logged nothing
    int lostOutside = 0;      // ticks outside the fault window that logged nothing
    QStringList inconsistencies;  // ticks whose record does not match their status
    QStringList statuses;     // distinct status texts seen
};
Tally tally(const QVector<DisplayTick> &ticks, int first, qint64 faultFromMs, qint64 faultToMs);

// Prints the display ticks as a timeline relative to `originMs` (for the log of a run).
void printTimeline(const QVector<DisplayTick> &ticks, qint64 originMs);
}  // namespace e2e
