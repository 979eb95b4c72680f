// SIGTERM, SIGINT and SIGHUP for a program whose work runs in an event loop.
// The handlers only set a flag (async-signal-safe); the 10 ms tick takes the
// flags and does the work: closing files, starting a new run.
#pragma once

namespace logger::stop_signals {

// Installs the handlers: SIGTERM and SIGINT ask to stop, SIGHUP (where the
// system has it) asks for a new run. SIGPIPE is ignored.
void install();

// The signal that asked to stop, or 0; a request is taken once.
int takeStop();
bool takeNewRun();

// "SIGTERM", "SIGINT", ...
const char *name(int signalNumber);

} // namespace logger::stop_signals
