// The simulated sensor program as a child process of a test: started on the
// namespace's simulator interface (scripts/netns-run exports it), awaited
// until it reports "ready", driven through its standard input one control
// line at a time, always with deadlines. And any program run to its end.
#pragma once

#include "netns.h"

#include <QByteArray>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace testsupport {

// The simulator program built with the tests.
QString simulatorProgram();

class SimProcess {
public:
    SimProcess();
    // Another program with the simulator's start-up contract (--iface IF,
    // then a "ready" line) that reads no commands, such as the benchmarks'
    // bare reflector: stop() ends it with SIGTERM at once.
    explicit SimProcess(const QString &program);
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts the simulator on the simulator interface with these extra
    // arguments (for example {"--pressure", "1013.25"}) and waits for its
    // "ready" line. Returns false with *error set when it does not come up.
    bool start(const QStringList &args, QString *error, int timeoutMs = 15000);
    // The same on a given interface (for two simulators, or none from the
    // environment).
    bool startOn(const QString &iface, const QStringList &args, QString *error, int timeoutMs = 15000);

    // Sends one control line and waits for its answer ("ok ..." or
    // "error: ..."). An empty result means no answer came in time.
    QString command(const QString &line, int timeoutMs = 5000);

    // The frame counters of "stats" ("received", "answered", ...) by name.
    QMap<QString, qulonglong> frameCounters();

    // Ends the simulator ("quit", then SIGTERM, then SIGKILL) and returns its
    // exit code, -1 when it had to be killed or crashed.
    int stop();
    // The same, starting with SIGTERM.
    int terminate();

    bool running() const;
    QString stderrText();
    qint64 pid() const;
    QProcess &process() { return proc_; }

private:
    QString nextLine(int timeoutMs);
    int awaitEnd();

    QProcess proc_;
    bool readsCommands_ = true;
    QByteArray pending_;
    QByteArray stderr_;
};

// A program run to its end with no input: its exit code (-1 when it crashed,
// or ran past the deadline and was killed), standard output and error.
struct Finished {
    int exitCode = -1;
    QString out;
    QString err;
};
Finished runToEnd(const QString &program, const QStringList &args, int timeoutMs = 30000);

// Reads a running program's standard output into *seen until a whole line
// matches `re`; false when the program ended or the time ran out first.
bool awaitLine(QProcess &p, QString *seen, const QRegularExpression &re, int timeoutMs = 10000);

} // namespace testsupport
