#include "sim_process.h"

#include <QDeadlineTimer>

SimProcess::~SimProcess()
{
    if (proc_.state() != QProcess::NotRunning) {
        proc_.kill();
        proc_.waitForFinished(5000);
    }
}

QString SimProcess::program() { return QStringLiteral(ECAT_SIM_PATH); }

bool SimProcess::readLine(QString &line, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!proc_.canReadLine()) {
        if (proc_.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        proc_.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    line = QString::fromUtf8(proc_.readLine()).trimmed();
    return true;
}

bool SimProcess::start(const QStringList &args, QString &error, int timeoutMs)
{
    proc_.setProcessChannelMode(QProcess::SeparateChannels);
    proc_.start(program(), args);
    if (!proc_.waitForStarted(timeoutMs)) {
        error = "could not start " + program() + ": " + proc_.errorString();
        return false;
    }
    QString line;
    if (!readLine(line, timeoutMs) || line != QLatin1String("ready")) {
        error = "no 'ready' from the simulator (got '" + line + "'); stderr: " +
                QString::fromUtf8(proc_.readAllStandardError());
        return false;
    }
    return true;
}

QString SimProcess::command(const QString &line, int timeoutMs)
{
    proc_.write((line + '\n').toUtf8());
    QString answer;
    readLine(answer, timeoutMs);
    return answer;
}

QMap<QString, qulonglong> SimProcess::stats()
{
    QMap<QString, qulonglong> out;
    const QString answer = command(QStringLiteral("stats"));
    if (!answer.startsWith(QLatin1String("ok ")))
        return out;
    // Frame counters come first; the slaves' own counters follow a '|'.
    const QString frames = answer.mid(3).section('|', 0, 0);
    for (const QString &word : frames.split(' ', Qt::SkipEmptyParts)) {
        const int eq = word.indexOf('=');
        if (eq > 0)
            out.insert(word.left(eq), word.mid(eq + 1).toULongLong());
    }
    return out;
}

int SimProcess::quit(int timeoutMs)
{
    proc_.write("quit\n");
    if (!proc_.waitForFinished(timeoutMs))
        return -1;
    return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
}

int SimProcess::terminate(int timeoutMs)
{
    proc_.terminate();
    if (!proc_.waitForFinished(timeoutMs))
        return -1;
    return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
}

int runToEnd(const QStringList &args, QString &err, int timeoutMs)
{
    QProcess p;
    p.start(SimProcess::program(), args);
    p.closeWriteChannel();
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        return -1;
    }
    err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
