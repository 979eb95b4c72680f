#include "sim_process.h"

#include <QDeadlineTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#ifndef SIM_PROGRAM
#error "SIM_PROGRAM must name the simulator executable"
#endif

SimProcess::~SimProcess() { stop(); }

QByteArray SimProcess::masterIf() { return qgetenv("ECAT_MASTER_IF"); }
QByteArray SimProcess::simIf() { return qgetenv("ECAT_SIM_IF"); }

bool SimProcess::start(const QStringList &args, QString *error)
{
    QStringList all{"--iface", QString::fromLocal8Bit(simIf())};
    all += args;
    proc_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    proc_.start(QStringLiteral(SIM_PROGRAM), all);
    if (!proc_.waitForStarted(5000)) {
        *error = QStringLiteral("cannot start %1: %2").arg(SIM_PROGRAM, proc_.errorString());
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        const QString line = readLine(int(deadline.remainingTime()));
        if (line == QLatin1String("ready"))
            return true;
        if (line.isNull())
            break;
    }
    *error = QStringLiteral("the simulator did not report ready (args: %1)").arg(all.join(' '));
    return false;
}

QString SimProcess::readLine(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!proc_.canReadLine()) {
        if (proc_.state() != QProcess::Running || deadline.hasExpired())
            return QString();
        proc_.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return QString::fromUtf8(proc_.readLine()).trimmed();
}

QString SimProcess::command(const QString &line)
{
    proc_.write(line.toUtf8() + '\n');
    proc_.waitForBytesWritten(2000);
    const QString answer = readLine(5000);
    return answer.isNull() ? QStringLiteral("error: no answer") : answer;
}

void SimProcess::stop()
{
    if (proc_.state() == QProcess::NotRunning)
        return;
    proc_.terminate();
    if (!proc_.waitForFinished(5000)) {
        proc_.kill();
        proc_.waitForFinished(2000);
    }
}

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    char path[] = "/tmp/link-stderr-XXXXXX";
    file_ = mkstemp(path);
    if (file_ < 0)
        return;
    unlink(path);
    saved_ = dup(2);
    dup2(file_, 2);
}

StderrCapture::~StderrCapture() { text(); }

QString StderrCapture::text()
{
    if (saved_ >= 0) {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        QByteArray bytes;
        char buf[4096];
        lseek(file_, 0, SEEK_SET);
        ssize_t n;
        while ((n = read(file_, buf, sizeof buf)) > 0)
            bytes.append(buf, n);
        text_ = QString::fromLocal8Bit(bytes);
    }
    if (file_ >= 0) {
        close(file_);
        file_ = -1;
    }
    return text_;
}
