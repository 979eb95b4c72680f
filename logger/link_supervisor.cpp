#include "link_supervisor.h"

#include "pressure_link.h"
#include "tick_counter.h"

#include <QtGlobal>

#include <climits>

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
    if (!m_up) {
        m_checkOk = m_readOk = 0;
        if (due(m_clock.monotonicMs()))
            reconnect();
        return;
    }
    // The check comes first and so sees the previous exchange's working
    // counter, as in the window.
    m_state = m_wkc = 0;
    m_checkOk = ecat_check(&m_state, &m_wkc);
    int over = 0;
    int under = 0;
    m_readOk = ecat_read(&m_pressure, &m_valid, &over, &under);
    if (m_readOk) {
        if (m_valid == 1)
            m_invalidCount = 0;
        else if (m_invalidCount < INT_MAX)
            ++m_invalidCount;
    }
    const qint64 now = m_clock.monotonicMs();
    if (m_checkOk)
        m_lastHealthyMs = now;
    if (m_checkOk && m_readOk && m_valid == 1) {
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

    QString status;
    if (!m_readOk) {
        status = QStringLiteral("EtherCAT read failed");
    } else {
        report.readOk = true;
        report.mbar = double(m_pressure) / 100.0;
        report.record = m_checkOk && m_valid == 1;
        if (m_checkOk && m_valid == 1)
            status = QStringLiteral("Connected, valid pressure");
        else if (m_checkOk)
            status = QStringLiteral("Connected, pressure invalid");
        else
            status = QStringLiteral("EtherCAT issue: state=0x%1 WKC=%2").arg(m_state, 0, 16).arg(m_wkc, 0, 10);
    }

    const bool invalidRun = m_readOk && m_invalidCount >= tick_counter::kReconnectAfterInvalid;
    const qint64 unhealthyMs = now - m_lastHealthyMs;
    const bool lost = !m_checkOk && unhealthyMs >= kLinkLostAfterMs;
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
    report.status = reconnect() ? QStringLiteral("Reconnected")
                                : QStringLiteral("Reconnect failed, next attempt in %1 s")
                                      .arg(secondsUntilDue(m_clock.monotonicMs()));
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
    m_checkOk = m_readOk = 0;
    const QString adapter = QString::fromUtf8(m_adapter);
    if (ok) {
        m_invalidCount = 0;
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
