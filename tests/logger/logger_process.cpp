#include "logger_process.h"

#include "netns.h"

#include <QRegularExpression>
#include <QTest>

#include <csignal>

namespace loggertest {

namespace {

QStringList linesOf(const QByteArray &bytes)
{
    QStringList lines = QString::fromLocal8Bit(bytes).split(QLatin1Char('\n'));
    lines.removeLast();   // after the last line end: empty, or a line still coming
    return lines;
}

} // namespace

QString loggerProgram() { return QStringLiteral(LOGGER_EXE); }

LoggerProcess::~LoggerProcess()
{
    if (m_proc.state() != QProcess::NotRunning) {
        m_proc.kill();
        m_proc.waitForFinished(5000);
    }
}

bool LoggerProcess::start(const QStringList &args, QString *error)
{
    m_proc.start(loggerProgram(), args);
    if (!m_proc.waitForStarted(10000)) {
        *error = QStringLiteral("pressure-logger did not start: %1").arg(m_proc.errorString());
        return false;
    }
    return true;
}

bool LoggerProcess::startLogging(const QStringList &args, QString *error)
{
    if (!start(args + QStringList{testsupport::masterInterface()}, error))
        return false;
    if (waitForEvent(QStringLiteral("logging "), 20000).isEmpty()) {
        *error = QStringLiteral("the logger did not start logging: ") + eventText();
        return false;
    }
    return true;
}

void LoggerProcess::collect()
{
    m_out += m_proc.readAllStandardOutput();
    m_err += m_proc.readAllStandardError();
}

QStringList LoggerProcess::events()
{
    collect();
    return linesOf(m_err);
}

QStringList LoggerProcess::statusLines()
{
    collect();
    return linesOf(m_out);
}

QString LoggerProcess::waitForEvent(const QString &text, int timeoutMs, int skip)
{
    QString found;
    const auto seenOrExited = [&] {
        int seen = 0;
        for (const QString &line : events()) {
            if (line.contains(text) && seen++ == skip) {
                found = line;
                return true;
            }
        }
        return m_proc.state() == QProcess::NotRunning;
    };
    return QTest::qWaitFor(seenOrExited, timeoutMs) ? found : QString();
}

void LoggerProcess::signal(int signalNumber)
{
    ::kill(pid_t(m_proc.processId()), signalNumber);
}

int LoggerProcess::waitForExit(int timeoutMs)
{
    if (!m_proc.waitForFinished(timeoutMs))
        return -1;
    collect();
    return m_proc.exitStatus() == QProcess::NormalExit ? m_proc.exitCode() : -1;
}

QString LoggerProcess::runPath()
{
    static const QRegularExpression start(QStringLiteral("^pressure-logger: logging \\S+ to (.+) and \\S+$"));
    for (const QString &line : events()) {
        const QRegularExpressionMatch m = start.match(line);
        if (m.hasMatch())
            return m.captured(1);
    }
    return QString();
}

} // namespace loggertest
