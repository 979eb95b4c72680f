#include "sim_process.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>

#include <sys/resource.h>

namespace testsupport {

namespace {

// The simulated slaves stand for hardware, which never waits for a CPU: on
// a busy test machine the simulator runs ahead of the other processes, so
// that a master that polls for its reply (SOEM does) does not starve the
// slaves it waits for. Where the test may not raise it (not root) it runs
// as it is.
constexpr int kSimulatorNice = -10;

} // namespace

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
    ::setpriority(PRIO_PROCESS, id_t(proc_.processId()), kSimulatorNice);
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

QMap<QString, qulonglong> SimProcess::frameCounters()
{
    QMap<QString, qulonglong> out;
    const QString answer = command(QStringLiteral("stats"));
    if (!answer.startsWith(QLatin1String("ok ")))
        return out;
    // Frame counters come first; the slaves' own counters follow a '|'.
    for (const QString &word : answer.mid(3).section(QLatin1Char('|'), 0, 0).split(' ', Qt::SkipEmptyParts)) {
        const int eq = word.indexOf(QLatin1Char('='));
        if (eq > 0)
            out.insert(word.left(eq), word.mid(eq + 1).toULongLong());
    }
    return out;
}

int SimProcess::stop()
{
    if (!running())
        return awaitEnd();
    if (!readsCommands_)
        return terminate();
    proc_.write("quit\n");
    return proc_.waitForFinished(3000) ? awaitEnd() : terminate();
}

int SimProcess::terminate()
{
    proc_.terminate();
    return awaitEnd();
}

int SimProcess::awaitEnd()
{
    if (running() && !proc_.waitForFinished(3000)) {
        proc_.kill();
        proc_.waitForFinished(3000);
        return -1;
    }
    stderrText();
    return proc_.exitStatus() == QProcess::NormalExit ? proc_.exitCode() : -1;
}

Finished runToEnd(const QString &program, const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.start(program, args);
    p.closeWriteChannel();
    Finished f;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(3000);
        return f;
    }
    f.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    f.out = QString::fromUtf8(p.readAllStandardOutput());
    f.err = QString::fromUtf8(p.readAllStandardError());
    return f;
}

bool awaitLine(QProcess &p, QString *seen, const QRegularExpression &re, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        *seen += QString::fromUtf8(p.readAllStandardOutput());
        QStringList lines = seen->split(QLatin1Char('\n'));
        lines.removeLast(); // empty, or a line still coming
        for (const QString &line : lines)
            if (re.match(line).hasMatch())
                return true;
        if (p.state() == QProcess::NotRunning)
            return false;
        p.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

} // namespace testsupport
