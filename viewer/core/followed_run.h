// One run file as the viewer holds it: its points (x elapsed seconds, y mbar,
// in file order), read through the run parser's follower, and, while it is
// followed, kept up with the file as it grows: a file watcher reads new
// bytes as soon as they are written, a poll every kPollMs does the same
// where the watcher sees nothing (a network file system, a watch limit).
//
// While followed, a last line without its line end waits for its end. Not
// followed, it counts as it stands, as the window's loader takes it.
#pragma once

#include "pressure_axis.h"
#include "run_follower.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QTimer>

namespace viewer {

class FollowedRun : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPollMs = 500;

    explicit FollowedRun(QObject *parent = nullptr);

    // Reads the whole file; false with `error` set when it cannot be read.
    bool open(const QString &path, QString *error);
    // Before open() or after; off at first.
    void setFollowing(bool on);
    bool following() const { return m_following; }

    QString path() const { return m_follower.path(); }
    const QList<QPointF> &points() const { return m_points; }
    bool xAscending() const { return m_ascending; }
    // Over every point, in mbar.
    const PressureSpan &span() const { return m_span; }
    // The earliest and the latest elapsed time (0 and 0 without points).
    double firstX() const { return m_points.isEmpty() ? 0.0 : m_minX; }
    double lastX() const { return m_points.isEmpty() ? 0.0 : m_maxX; }
    // Bytes of a last line that waits for its end (only while followed).
    qsizetype pendingBytes() const { return m_following ? m_follower.pendingBytes() : 0; }

public slots:
    // Reads what the file gained; emits what changed.
    void poll();

signals:
    // Points from index `first` on are new.
    void appended(qsizetype first);
    // Every point was read again: `why` says what happened to the file.
    void reloaded(const QString &why);
    // A last line started or grew without its end, or ended.
    void pendingChanged();
    // Once per kind of failure, until a read succeeds again.
    void failed(const QString &error);

private:
    void take(const records::FollowUpdate &update);
    void addPoints(const QList<QPointF> &points);
    void applyFollowing();
    void dropProvisional();
    void watch();

    records::RunFollower m_follower;
    QList<QPointF> m_points;
    PressureSpan m_span;
    bool m_ascending = true;
    double m_minX = 0.0;
    double m_maxX = 0.0;
    bool m_provisional = false;   // the last point is the unended last line
    bool m_following = false;
    QString m_lastFailure;
    QFileSystemWatcher m_watcher;
    QTimer m_poll;
};

} // namespace viewer
