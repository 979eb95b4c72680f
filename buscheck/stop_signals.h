// SIGINT, SIGTERM and SIGHUP ask the bus check to stop. The handler only
// records the signal and writes one byte into a pipe; the program's own flow
// notices (the event loop through a socket notifier, a blocking step when it
// returns) and brings the bus down itself. Nothing touches the master from a
// signal handler. SIGPIPE is ignored, so that a reader that goes away (a
// closed pipe) cannot end the program with the slaves still in OP.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace buscheck {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; one instance per process.
    StopSignals();
    ~StopSignals() override;

    // The signal that asked to stop, or 0.
    int received() const;
    // "SIGINT", "SIGTERM", ...
    static const char *name(int signalNumber);

signals:
    // Emitted from the event loop once a stop was asked for.
    void stopRequested(int signalNumber);

private:
    QSocketNotifier *notifier_ = nullptr;
};

} // namespace buscheck
