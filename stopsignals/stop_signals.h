// SIGINT and SIGTERM (SIGBREAK too on Windows) ask a program to stop;
// SIGHUP, as the program chooses, asks it to stop as well or to start a new
// run. The handlers only record the request, and wake the program's event
// loop where it asks for that: its own flow takes the request and does the
// work (bringing the bus down, closing files). Nothing touches the bus or a
// file from a signal handler. SIGPIPE is ignored, so that a reader that goes
// away (a closed pipe) cannot end the program in the middle of its work.
#pragma once

#include <QObject>

class QSocketNotifier;

class StopSignals : public QObject {
    Q_OBJECT
public:
    enum class Hangup { Stops, StartsNewRun };

    // Installs the handlers; one instance per process, which may come before
    // the application object. `note`, when given, is written to stderr by the
    // handler as a stop signal arrives.
    explicit StopSignals(Hangup hangup, const char *note = nullptr);
    ~StopSignals() override;

    // From now on stopRequested() is emitted from the event loop when a stop
    // signal arrives (through a pipe the handler writes to; not on Windows,
    // where the program looks at received() instead).
    void wakeEventLoop();

    // The signal that asked to stop, or 0.
    int received() const;
    // The same, taken once; and whether a new run was asked for since.
    int takeStop();
    bool takeNewRun();

    // "SIGINT", "SIGTERM", ...
    static const char *name(int signalNumber);

signals:
    void stopRequested(int signalNumber);

private:
    QSocketNotifier *notifier_ = nullptr;
};
