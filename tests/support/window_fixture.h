// The window against the scripted link (fakelink): a fresh process-wide
// state, a window whose 10 ms timer is stopped so that ticks run only when a
// test calls them, and ticks up to the next display tick on demand.
#pragma once

#include "appstate.h"
#include "fakelink.h"
#include "mainwindow.h"
#include "mainwindow_ui.h"

#include <QDateTime>
#include <QStringList>

#include <memory>

namespace testsupport {

// Forgets the stand-in's scripts and calls and puts the process-wide state
// back as it is at start-up (files closed and unnamed, counters at 0).
void resetAppState();

// Stops the window's timers: ticks then run only through onTimerTick().
void stopTimers(MainWindow &w);
// A new window with its timers stopped.
std::unique_ptr<MainWindow> quietWindow();

// Runs ticks up to and including the next display tick.
void displayTick(MainWindow &w);
// A display tick whose own read is `read` (the ticks before it read the
// stand-in's default).
void displayTickWith(MainWindow &w, const fakelink::Read &read);
// Connects through the stand-in and leaves the next display tick's check
// seeing a good working counter.
void connectLink(MainWindow &w);

// Run stamps that a Start Logging between `before` and `after` may give.
QStringList stampsBetween(const QDateTime &before, const QDateTime &after);

} // namespace testsupport
