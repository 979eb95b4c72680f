// A clock the test moves: the monotonic time starts at 0, and the wall time
// is a fixed local start plus the monotonic time.
#pragma once

#include "clock.h"

namespace loggertest {

class FakeClock : public logger::Clock
{
public:
    explicit FakeClock(const QDateTime &start = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)))
        : m_start(start) {}
    qint64 monotonicMs() const override { return m_ms; }
    QDateTime now() const override { return m_start.addMSecs(m_ms); }
    void advance(qint64 ms) { m_ms += ms; }

private:
    QDateTime m_start;
    qint64 m_ms = 0;
};

} // namespace loggertest
