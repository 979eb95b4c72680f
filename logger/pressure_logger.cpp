#include "pressure_logger.h"
#include "tick_counter.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace logger {

namespace {

QString baseName(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString recordCount(int n)
{
    return n == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(n);
}

} // namespace

PressureLogger::PressureLogger(LoggerSettings settings, const Clock &clock, Sink status, Sink events)
    : m_settings(std::move(settings)),
      m_clock(clock),
      m_status(std::move(status)),
      m_events(std::move(events)),
      m_link(m_settings.adapter, clock, m_events),
      m_log(QDir(m_settings.outputDir))
{
}

int PressureLogger::start()
{
    const QString adapter = QString::fromUtf8(m_settings.adapter);
    const QDir dir(m_settings.outputDir);
    if (!dir.mkpath(QStringLiteral("."))) {
        m_events(QStringLiteral("cannot create the output folder %1").arg(dir.absolutePath()));
        return 1;
    }
    if (!m_link.connectFirst()) {
        m_events(QStringLiteral("cannot connect on adapter \"%1\" (the reason is printed above)").arg(adapter));
        return 1;
    }
    const QDateTime now = m_clock.now();
    QString error;
    if (!m_log.startRun(now, &error)) {
        m_events(QStringLiteral("Could not open run CSV %1").arg(error));
        m_link.shutdown();
        return 1;
    }
    if (!m_log.openDaily(now.date(), &error)) {
        m_events(QStringLiteral("Could not open daily CSV %1").arg(error));
        const QString emptyRun = m_log.runPath();
        m_log.closeRun(nullptr);
        QFile::remove(emptyRun);
        m_link.shutdown();
        return 1;
    }
    m_events(QStringLiteral("logging %1 to %2 and %3")
                 .arg(adapter, QDir::cleanPath(dir.absoluteFilePath(baseName(m_log.runPath()))),
                      baseName(m_log.dailyPath())));
    m_startMs = m_clock.monotonicMs();
    m_nextDisplayMs = m_startMs + tick_counter::kDisplayPeriodMs;
    return 0;
}

void PressureLogger::requestStop(const QString &why)
{
    if (m_stopReason.isEmpty())
        m_stopReason = why;
}

bool PressureLogger::tick()
{
    if (stopRequested())
        return false;
    if (m_newRunRequested) {
        m_newRunRequested = false;
        newRun();
    }
    m_link.tick();
    const qint64 now = m_clock.monotonicMs();
    if (now >= m_nextDisplayMs) {
        displayPeriod();
        // Periods that a blocking reconnect took up are skipped, not made up.
        const qint64 after = m_clock.monotonicMs();
        while (m_nextDisplayMs <= after)
            m_nextDisplayMs += tick_counter::kDisplayPeriodMs;
    }
    if (m_settings.durationMs >= 0 && now - m_startMs >= m_settings.durationMs) {
        requestStop(QStringLiteral("duration reached"));
        return false;
    }
    return true;
}

void PressureLogger::displayPeriod()
{
    const LinkReport link = m_link.display();
    if (link.record)
        writeRecord(link.mbar);
    if (m_publisher)
        m_publisher->linkState(link.record ? ReadingPublisher::LinkState::Online
                               : m_link.up() ? ReadingPublisher::LinkState::LinkLost
                                             : ReadingPublisher::LinkState::Reconnecting);
    if (m_settings.quiet)
        return;
    const QString pressure = link.readOk ? QStringLiteral("%1 mbar").arg(link.mbar, 0, 'f', 3)
                                         : QStringLiteral("no reading");
    const QString run = m_log.runOpen()
        ? QStringLiteral("%1: %2").arg(baseName(m_log.runPath()), recordCount(m_runRecords))
        : QStringLiteral("no run file");
    m_status(QStringLiteral("%1 | %2 | %3%4 | %5")
                 .arg(m_clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), pressure, link.status,
                      fileProblems(), run));
}

void PressureLogger::writeRecord(double mbar)
{
    const QDateTime now = m_clock.now();
    if (!ensureFiles(now))
        return;
    const bool daily = m_log.dailyOpen();
    const records::RunLog::WriteResult result = m_log.write(now, mbar);
    if (m_publisher)
        m_publisher->record(now, m_log.runStart(), mbar, m_log.runBaseName());
    if (result.runWritten)
        ++m_runRecords;
    noteWrite(result.runWritten, m_runWrites, QStringLiteral("run CSV"), m_log.runPath(), result.runError);
    if (daily)
        noteWrite(result.dailyWritten, m_dailyWrites, QStringLiteral("daily CSV"), m_log.dailyPath(),
                  result.dailyError);
}

void PressureLogger::noteWrite(bool written, WriteHealth &health, const QString &what, const QString &path,
                               const QString &error)
{
    if (written) {
        if (health.failing)
            m_events(QStringLiteral("%1 written again (%2 not written)").arg(what, recordCount(health.lost)));
        health = WriteHealth();
        return;
    }
    ++health.lost;
    if (!health.failing)
        m_events(QStringLiteral("Could not write %1 %2: %3").arg(what, path, error));
    health.failing = true;
}

// A run CSV that could not be opened (after a new run was asked for) and the
// daily CSV of the record's day are opened here, before each record. False
// when no run CSV is open: then the record goes nowhere, as in the window.
bool PressureLogger::ensureFiles(const QDateTime &now)
{
    QString error;
    if (!m_log.runOpen()) {
        if (m_log.startRun(now, &error)) {
            m_runOpenFailing = false;
            m_runRecords = 0;
            m_events(QStringLiteral("new run: %1").arg(m_log.runPath()));
        } else if (!m_runOpenFailing) {
            m_runOpenFailing = true;
            m_events(QStringLiteral("Could not open run CSV %1; trying again with every record").arg(error));
        }
    }
    if (!m_log.dailyOpen() || m_log.dailyDay() != now.date()) {
        if (m_log.dailyOpen()) {
            if (!m_log.closeDaily(&error))
                m_events(QStringLiteral("daily CSV not synced to the disk: %1").arg(error));
            m_dailyWrites = WriteHealth();
        }
        if (m_log.openDaily(now.date(), &error)) {
            if (m_dailyOpenFailing)
                m_events(QStringLiteral("daily CSV open again"));
            m_dailyOpenFailing = false;
            m_events(QStringLiteral("records of %1 go to %2")
                         .arg(now.date().toString(Qt::ISODate), baseName(m_log.dailyPath())));
        } else if (!m_dailyOpenFailing) {
            m_dailyOpenFailing = true;
            m_events(QStringLiteral("Could not open daily CSV %1; trying again with every record").arg(error));
        }
    }
    return m_log.runOpen();
}

void PressureLogger::newRun()
{
    QString error;
    const QString old = m_log.runPath();
    if (!m_log.closeRun(&error))
        m_events(QStringLiteral("run CSV not synced to the disk: %1").arg(error));
    if (!old.isEmpty())
        m_events(QStringLiteral("run %1 closed with %2").arg(baseName(old), recordCount(m_runRecords)));
    m_runRecords = 0;
    m_runWrites = WriteHealth();
    m_runOpenFailing = false;
    ensureFiles(m_clock.now());
}

QString PressureLogger::fileProblems() const
{
    QStringList problems;
    if (!m_log.runOpen())
        problems << QStringLiteral("Could not open run CSV");
    else if (m_runWrites.failing)
        problems << QStringLiteral("Could not write run CSV");
    if (!m_log.dailyOpen())
        problems << QStringLiteral("Could not open daily CSV");
    else if (m_dailyWrites.failing)
        problems << QStringLiteral("Could not write daily CSV");
    return problems.isEmpty() ? QString() : QStringLiteral("; ") + problems.join(QStringLiteral("; "));
}

int PressureLogger::finish()
{
    QString error;
    bool synced = true;
    const QString run = m_log.runPath();
    if (!m_log.closeRun(&error)) {
        synced = false;
        m_events(QStringLiteral("run CSV not synced to the disk: %1").arg(error));
    }
    if (!m_log.closeDaily(&error)) {
        synced = false;
        m_events(QStringLiteral("daily CSV not synced to the disk: %1").arg(error));
    }
    m_link.shutdown();
    if (m_publisher) {
        m_publisher->linkState(ReadingPublisher::LinkState::Stopped);
        m_publisher->stop();
    }
    m_events(QStringLiteral("stopped (%1): %2 in %3, %4")
                 .arg(m_stopReason.isEmpty() ? QStringLiteral("finished") : m_stopReason, recordCount(m_runRecords),
                      baseName(run),
                      synced ? QStringLiteral("files synced to the disk") : QStringLiteral("files NOT synced")));
    return synced ? 0 : 1;
}

} // namespace logger
