#include "followed_run.h"

#include <algorithm>

namespace viewer {

FollowedRun::FollowedRun(QObject *parent) : QObject(parent)
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &FollowedRun::poll);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &FollowedRun::poll);
}

bool FollowedRun::open(const QString &path, QString *error)
{
    if (!m_follower.open(path, error))
        return false;
    m_points.clear();
    m_span = PressureSpan();
    m_ascending = true;
    m_provisional = false;
    const records::FollowUpdate update = m_follower.read();
    if (update.kind == records::FollowUpdate::Failed) {
        *error = update.reason;
        return false;
    }
    addPoints(update.points);
    applyFollowing();
    return true;
}

void FollowedRun::setFollowing(bool on)
{
    if (m_following && !on)
        poll();   // what came since the last look
    m_following = on;
    if (!path().isEmpty())
        applyFollowing();
}

void FollowedRun::applyFollowing()
{
    if (m_following) {
        dropProvisional();
        watch();
        m_poll.start();
        return;
    }
    m_poll.stop();
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    QPointF last;
    if (!m_provisional && m_follower.pendingPoint(&last)) {
        const qsizetype first = m_points.size();
        addPoints({last});
        m_provisional = true;
        emit appended(first);
    }
}

void FollowedRun::watch()
{
    // A file moved over the path drops out of the watcher: watch the path again.
    if (!m_watcher.files().contains(path()))
        m_watcher.addPath(path());
}

void FollowedRun::poll()
{
    if (!m_following)
        return;
    const qsizetype pending = m_follower.pendingBytes();
    take(m_follower.read());
    if (m_follower.pendingBytes() != pending)
        emit pendingChanged();
    watch();
}

void FollowedRun::take(const records::FollowUpdate &update)
{
    if (update.kind != records::FollowUpdate::Failed)
        m_lastFailure.clear();
    switch (update.kind) {
    case records::FollowUpdate::Unchanged:
        return;
    case records::FollowUpdate::Failed:
        if (update.reason != m_lastFailure) {
            m_lastFailure = update.reason;
            emit failed(update.reason);
        }
        return;
    case records::FollowUpdate::Appended: {
        const qsizetype first = m_points.size();
        addPoints(update.points);
        emit appended(first);
        return;
    }
    case records::FollowUpdate::Reloaded:
        m_points.clear();
        m_span = PressureSpan();
        m_ascending = true;
        m_provisional = false;
        addPoints(update.points);
        emit reloaded(update.reason);
        return;
    }
}

void FollowedRun::addPoints(const QList<QPointF> &points)
{
    if (points.isEmpty())
        return;
    if (m_ascending && !m_points.isEmpty() && points.constFirst().x() < m_points.constLast().x())
        m_ascending = false;
    if (m_points.isEmpty())
        m_minX = m_maxX = points.constFirst().x();
    double lastX = points.constFirst().x();
    for (const QPointF &p : points) {
        m_span.add(p.y());
        if (p.x() < lastX)
            m_ascending = false;
        lastX = p.x();
        m_minX = std::min(m_minX, p.x());
        m_maxX = std::max(m_maxX, p.x());
    }
    if (m_points.isEmpty())
        m_points = points;
    else
        m_points.append(points);
}

void FollowedRun::dropProvisional()
{
    if (!m_provisional)
        return;
    m_provisional = false;
    m_points.removeLast();
    m_span = PressureSpan();
    m_ascending = true;
    const QList<QPointF> all = std::move(m_points);
    m_points.clear();
    addPoints(all);
    emit reloaded(QString());
}

} // namespace viewer
