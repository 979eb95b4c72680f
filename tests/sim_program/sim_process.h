// Starts ethercat-sensor-sim as a child process for a test, waits for its 'ready' line and
// talks to it on stdin/stdout, always with deadlines.
#pragma once

#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    ~SimProcess();

    // Starts the simulator with `args` and waits for 'ready'. False (with `error` set) when it
    // exits or stays silent past the deadline.
    bool start(const QStringList &args, QString &error, int timeoutMs = 10000);
    // Sends one command line on stdin; returns the answer line (empty on timeout).
    QString command(const QString &line, int timeoutMs = 5000);
    // The frame counters of 'stats' as name -> value.
    QMap<QString, qulonglong> stats();
    // Sends 'quit' (or SIGTERM) and returns the exit code, -1 when it did not end in time.
    int quit(int timeoutMs = 5000);
    int terminate(int timeoutMs = 5000);

    QProcess &process() { return proc_; }
    static QString program();

private:
    bool readLine(QString &line, int timeoutMs);
    QProcess proc_;
};

// Runs the simulator with `args` to its end (for flags it refuses) and returns the exit
// code; stderr lands in `err`. -1 when it did not end in time.
int runToEnd(const QStringList &args, QString &err, int timeoutMs = 10000);
