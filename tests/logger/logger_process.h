// The pressure-logger program as a child process of a test: its status
// lines (stdout) and events (stderr) collected line by line, awaited with
// deadlines, and signals sent to it.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace loggertest {

QString loggerProgram();

class LoggerProcess
{
public:
    ~LoggerProcess();

    bool start(const QStringList &args, QString *error);
    // Starts it with `args` on the namespace's master interface and waits
    // until it logs (its event "logging ...").
    bool startLogging(const QStringList &args, QString *error);
    // The first event line containing `text` after the `skip` earlier ones;
    // empty when none came within the deadline.
    QString waitForEvent(const QString &text, int timeoutMs, int skip = 0);
    void signal(int signalNumber);
    // Exit code, or -1 when it crashed or was still running at the deadline.
    int waitForExit(int timeoutMs);

    QStringList events();
    QStringList statusLines();
    QString eventText() { return events().join(QLatin1Char('\n')); }
    // The run CSV named by the start event "logging ADAPTER to PATH and DAILY".
    QString runPath();
    QProcess &process() { return m_proc; }

private:
    void collect();

    QProcess m_proc;
    QByteArray m_out;
    QByteArray m_err;
};

} // namespace loggertest
