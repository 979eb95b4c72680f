// The simulator program as a child process: started on an interface,
// awaited until it says "ready", driven through its standard input.
#ifndef TESTS_MASTER_SIM_PROCESS_H
#define TESTS_MASTER_SIM_PROCESS_H

#include <QProcess>
#include <QString>
#include <QStringList>

class SimProcess {
public:
    ~SimProcess();
    // Starts the program and waits up to timeoutMs for its "ready" line.
    bool start(const QString &program, const QStringList &args, int timeoutMs = 10000);
    // Sends one control line and returns the answer line ("ok", "error: ...").
    QString command(const QString &line, int timeoutMs = 5000);
    void stop();
    QString errorText() const { return error_; }

private:
    QString readLine(int timeoutMs);
    QProcess proc_;
    QString error_;
};

#endif
