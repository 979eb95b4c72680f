#include "sim_process.h"

#include <QDeadlineTimer>

SimProcess::~SimProcess()
{
    stop();
}

QString SimProcess::readLine(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!proc_.canReadLine()) {
        if (deadline.hasExpired() || proc_.state() == QProcess::NotRunning)
            return QString();
        proc_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return QString::fromUtf8(proc_.readLine()).trimmed();
}

bool SimProcess::start(const QString &program, const QStringList &args, int timeoutMs)
{
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start(program, args);
    if (!proc_.waitForStarted(timeoutMs)) {
        error_ = "cannot start " + program + ": " + proc_.errorString();
        return false;
    }
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QString line = readLine(int(qMax<qint64>(1, deadline.remainingTime())));
        if (line == "ready")
            return true;
        if (line.isNull()) {
            error_ = program + " did not say ready";
            return false;
        }
    }
}

QString SimProcess::command(const QString &line, int timeoutMs)
{
    proc_.write((line + "\n").toUtf8());
    proc_.waitForBytesWritten(timeoutMs);
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QString answer = readLine(int(qMax<qint64>(1, deadline.remainingTime())));
        if (answer.isNull() || answer.startsWith("ok") || answer.startsWith("error"))
            return answer;
    }
}

void SimProcess::stop()
{
    if (proc_.state() == QProcess::NotRunning)
        return;
    proc_.terminate();
    if (!proc_.waitForFinished(3000)) {
        proc_.kill();
        proc_.waitForFinished(3000);
    }
}
