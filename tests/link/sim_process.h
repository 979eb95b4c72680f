// The simulated sensor as a child process on the namespace's simulator end:
// started with extra command-line flags, awaited until it reports `ready`,
// driven through its standard input one command line at a time.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess
{
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts the simulator on $ECAT_SIM_IF with `args` after the interface.
    // Returns false with *error set when it does not come up within 15 s.
    bool start(const QStringList &args, QString *error);
    // Sends one control line and returns the answer ("ok" or "error: ...").
    QString command(const QString &line);
    void stop();

    // The namespace's adapter names, empty outside scripts/netns-run.
    static QByteArray masterIf();
    static QByteArray simIf();

private:
    QString readLine(int timeoutMs);
    QProcess proc_;
};

// Captures what this process writes to its standard error stream (fd 2)
// between construction and text().
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    QString text();  // restores fd 2 on the first call

private:
    int saved_ = -1;
    int file_ = -1;
    QString text_;
};
