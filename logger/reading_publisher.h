// What the logger hands on besides its files: each record it writes and
// the link's state once a second. The logger calls record() and linkState()
// from its 10 ms tick, so they must return at once, whatever the network does.
#pragma once

#include <QDateTime>
#include <QString>

namespace logger {

class ReadingPublisher
{
public:
    enum class LinkState {
        Online,        // a valid reading of a healthy link was recorded
        LinkLost,      // the link is up but gave no valid, healthy reading
        Reconnecting,  // the link is down; the next attempt is waiting
        Stopped,       // the logger stopped
    };
    static QString text(LinkState state);

    virtual ~ReadingPublisher() = default;
    // One record as it went to the run CSV: taken at `now` in the run named
    // `runName` that started at `runStart`.
    virtual void record(const QDateTime &now, const QDateTime &runStart, double mbar, const QString &runName) = 0;
    // The link's state after a display period; called every period.
    virtual void linkState(LinkState state) = 0;
    // The logger has stopped (after linkState(Stopped)): the last messages
    // go out as far as they can in a short time, and no more come.
    virtual void stop() = 0;
};

inline QString ReadingPublisher::text(LinkState state)
{
    switch (state) {
    case LinkState::Online: return QStringLiteral("online");
    case LinkState::LinkLost: return QStringLiteral("link lost");
    case LinkState::Reconnecting: return QStringLiteral("reconnecting");
    case LinkState::Stopped: return QStringLiteral("stopped");
    }
    return QString();
}

} // namespace logger
