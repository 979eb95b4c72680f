#include "link_supervisor.h"

#include "pressure_link.h"
#include "rule_texts.h"

#include <QtGlobal>

namespace logger {

LinkSupervisor::LinkSupervisor(QByteArray adapter, const Clock &clock, EventSink events)
    : m_adapter(std::move(adapter)), m_clock(clock), m_events(std::move(events))
{
}

bool LinkSupervisor::connectFirst()
{
    m_up = ecat_connect(m_adapter.constData()) != 0;
    m_lastHealthyMs = m_clock.monotonicMs();
    return m_up;
}

void LinkSupervisor::shutdown()
{
    ecat_disconnect();
    m_up = false;
}

void LinkSupervisor::tick()
{
    m_last = acquisition::Exchange();
    if (!m_up) {
        if (due(m_clock.monotonicMs()))
            reconnect();
        return;
    }
    // The check comes first and so sees the previous exchange's working
    // counter, as in the window.
    m_last.checkOk = ecat_check(&m_last.state, &m_last.wkc);
    m_last.readOk = ecat_read(&m_last.pressure, &m_last.valid, &m_last.over, &m_last.under);
    m_invalidCount = acquisition::countInvalid(m_invalidCount, m_last);
    const qint64 now = m_clock.monotonicMs();
    if (m_last.checkOk)
        m_lastHealthyMs = now;
    if (acquisition::isGoodReading(m_last)) {
        m_notBeforeMs = 0;
        m_waitMs = kFirstWaitMs;
    }
}

LinkReport LinkSupervisor::display()
{
    const qint64 now = m_clock.monotonicMs();
    LinkReport report;
    if (!m_up) {
        report.status = QStringLiteral("Link down, next attempt in %1 s").arg(secondsUntilDue(now));
        return report;
    }

    const acquisition::Outcome outcome = acquisition::decide(m_last, m_invalidCount);
    report.readOk = outcome.reading;
    report.mbar = outcome.mbar;
    report.record = outcome.record;
    const QString status = acquisition::statusText(outcome);

    const bool invalidRun = outcome.reconnect;
    const qint64 unhealthyMs = now - m_lastHealthyMs;
    const bool lost = !m_last.checkOk && unhealthyMs >= kLinkLostAfterMs;
    if (!invalidRun && !lost) {
        report.status = status;
        return report;
    }
    if (!due(now)) {
        report.status = status + QStringLiteral(", reconnect in %1 s").arg(secondsUntilDue(now));
        return report;
    }
    const QString adapter = QString::fromUtf8(m_adapter);
    if (invalidRun)
        m_events(QStringLiteral("%1 invalid readings in a row on %2: reconnecting").arg(m_invalidCount).arg(adapter));
    else
        m_events(QStringLiteral("link lost on %1: no healthy exchange for %2 s (%3): reconnecting")
                     .arg(adapter)
                     .arg(double(unhealthyMs) / 1000.0, 0, 'f', 1)
                     .arg(status));
    if (reconnect())
        report.status = acquisition::statusText(acquisition::Status::Reconnected);
    else
        report.status = acquisition::statusText(acquisition::Status::ReconnectFailed)
                        + QStringLiteral(", next attempt in %1 s").arg(secondsUntilDue(m_clock.monotonicMs()));
    return report;
}

bool LinkSupervisor::reconnect()
{
    ecat_disconnect();
    const bool ok = ecat_connect(m_adapter.constData()) != 0;
    const qint64 end = m_clock.monotonicMs();
    m_notBeforeMs = end + m_waitMs;
    m_waitMs = qMin(m_waitMs * 2, kLongestWaitMs);
    m_up = ok;
    m_last = acquisition::Exchange();
    m_invalidCount = acquisition::afterReconnect(ok, m_invalidCount).invalidCount;
    const QString adapter = QString::fromUtf8(m_adapter);
    if (ok) {
        m_lastHealthyMs = end;
        m_events(QStringLiteral("reconnected on %1").arg(adapter));
    } else {
        m_events(QStringLiteral("reconnect on %1 failed; next attempt in %2 s").arg(adapter, secondsUntilDue(end)));
    }
    return ok;
}

QString LinkSupervisor::secondsUntilDue(qint64 nowMs) const
{
    const qint64 left = qMax<qint64>(0, m_notBeforeMs - nowMs);
    return QString::number((left + 999) / 1000);
}

} // namespace logger
