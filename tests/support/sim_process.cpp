#include "sim_process.h"

#include <QElapsedTimer>

namespace testsupport {

QString simulatorProgram() { return QStringLiteral(TESTSUPPORT_SIM_EXE); }

SimProcess::SimProcess()
{
    proc_.setProgram(simulatorProgram());
}

SimProcess::SimProcess(const QString &program) : readsCommands_(false)
{
    proc_.setProgram(program);
}

SimProcess::~SimProcess()
{
    if (running())
        stop();
}

bool SimProcess::running() const { return proc_.state() != QProcess::NotRunning; }

qint64 SimProcess::pid() const { return proc_.processId(); }

bool SimProcess::start(const QStringList &args, QString *error, int timeoutMs)
{
    const QString iface = simulatorInterface();
    if (iface.isEmpty()) {
        *error = QStringLiteral("ECAT_SIM_IF is not set: run under scripts/netns-run");
        return false;
    }
    return startOn(iface, args, error, timeoutMs);
}

bool SimProcess::startOn(const QString &iface, const QStringList &args, QString *error, int timeoutMs)
{
    QStringList all{QStringLiteral("--iface"), iface};
    all += args;
    proc_.setArguments(all);
    pending_.clear();
    stderr_.clear();
    proc_.start();
    if (!proc_.waitForStarted(timeoutMs)) {
        *error = QStringLiteral("simulator did not start: %1").arg(proc_.errorString());
        return false;
    }
    const QString line = nextLine(timeoutMs);
    if (line != QLatin1String("ready")) {
        *error = QStringLiteral("simulator did not report ready (got \"%1\"); stderr: %2")
                     .arg(line, stderrText());
        return false;
    }
    return true;
}

QString SimProcess::nextLine(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        pending_ += proc_.readAllStandardOutput();
        const int nl = pending_.indexOf('\n');
        if (nl >= 0) {
            const QString line = QString::fromUtf8(pending_.left(nl)).trimmed();
            pending_.remove(0, nl + 1);
            return line;
        }
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || proc_.state() == QProcess::NotRunning)
            return QString();
        proc_.waitForReadyRead(static_cast<int>(left));
    }
}

QString SimProcess::command(const QString &line, int timeoutMs)
{
    proc_.write(line.toUtf8() + '\n');
    proc_.waitForBytesWritten(timeoutMs);
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return QString();
        const QString answer = nextLine(static_cast<int>(left));
        if (answer.isEmpty() && proc_.state() == QProcess::NotRunning)
            return QString();
        if (answer.startsWith(QLatin1String("ok")) || answer.startsWith(QLatin1String("error")))
            return answer;
    }
}

QString SimProcess::stderrText()
{
    stderr_ += proc_.readAllStandardError();
    return QString::fromUtf8(stderr_);
}

int SimProcess::stop()
{
    if (!running())
        return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
    if (readsCommands_)
        proc_.write("quit\n");
    else
        proc_.terminate();
    if (!proc_.waitForFinished(3000)) {
        proc_.terminate();
        if (!proc_.waitForFinished(3000)) {
            proc_.kill();
            proc_.waitForFinished(3000);
            return -1;
        }
    }
    stderrText();
    return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
}

} // namespace testsupport
