// The logger's own link rules against the scripted link and a clock the test
// moves: a lost link (no healthy check for a second) reconnected, the wait
// between reconnects that doubles from 1 s to 30 s and starts again after
// good data, and the events and status texts that only the logger has. The
// window's rule (the invalid-run count, what is recorded, its status texts)
// is tested in tests/acquisition.
#include "fake_clock.h"
#include "fakelink.h"
#include "link_supervisor.h"

#include <QtTest>

#include <vector>

using fakelink::failedRead;
using fakelink::invalidReading;
using fakelink::validReading;
using logger::LinkReport;
using logger::LinkSupervisor;

namespace {

struct Rig
{
    loggertest::FakeClock clock;
    QStringList events;
    LinkSupervisor link{"eth0", clock, [this](const QString &e) { events << e; }};
    std::vector<qint64> connectTimes;   // clock time of every ecat_connect after the first

    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) {
            clock.advance(10);
            const int before = fakelink::connectCount();
            link.tick();
            noteConnects(before);
        }
    }
    // Ticks of 10 ms for `ms`, with a display period at every full second.
    QList<LinkReport> run(qint64 ms)
    {
        QList<LinkReport> reports;
        for (qint64 end = clock.monotonicMs() + ms; clock.monotonicMs() < end;) {
            tick();
            if (clock.monotonicMs() % 1000 == 0)
                reports << display();
        }
        return reports;
    }
    LinkReport display()
    {
        const int before = fakelink::connectCount();
        const LinkReport r = link.display();
        noteConnects(before);
        return r;
    }
    void noteConnects(int before)
    {
        for (int i = before; i < fakelink::connectCount(); ++i)
            connectTimes.push_back(clock.monotonicMs());
    }
    std::vector<qint64> gaps() const
    {
        std::vector<qint64> g;
        for (size_t i = 1; i < connectTimes.size(); ++i)
            g.push_back(connectTimes[i] - connectTimes[i - 1]);
        return g;
    }
};

QString show(const std::vector<qint64> &v)
{
    QStringList parts;
    for (qint64 x : v)
        parts << QString::number(x);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestLinkSupervisor : public QObject
{
    Q_OBJECT

private slots:
    void init() { fakelink::reset(); }

    // Silence: no frame comes back. After a second without a healthy check
    // the link is lost and reconnected at once; failed attempts then wait
    // 1, 2, 4, 8, 16 and 30 s, never longer.
    void lostLinkReconnectsWithAGrowingWait()
    {
        Rig rig;
        QVERIFY(rig.link.connectFirst());
        rig.run(2000);
        fakelink::setDefaultRead(failedRead());
        fakelink::setDefaultConnectResult(0);
        const QList<LinkReport> reports = rig.run(125000);
        QCOMPARE(reports.first().status, QStringLiteral("EtherCAT read failed"));
        QVERIFY(!rig.link.up());
        QVERIFY2(rig.connectTimes.size() >= 8, qPrintable(show(rig.connectTimes)));
        QVERIFY2(rig.connectTimes.front() <= 2000 + 2000, qPrintable(show(rig.connectTimes)));
        const std::vector<qint64> gaps = rig.gaps();
        const std::vector<qint64> expected{1000, 2000, 4000, 8000, 16000, 30000, 30000};
        for (size_t i = 0; i < expected.size(); ++i)
            QVERIFY2(gaps[i] >= expected[i] && gaps[i] <= expected[i] + 10, qPrintable(show(gaps)));
        QVERIFY(rig.events.join('\n').contains(QStringLiteral("link lost on eth0: no healthy exchange for")));
        QVERIFY(rig.events.join('\n').contains(QStringLiteral("reconnect on eth0 failed; next attempt in 30 s")));
        QVERIFY(reports.last().status.startsWith(QStringLiteral("Link down, next attempt in")));

        // The bus answers again: the next attempt brings it up, and good
        // data makes the next loss reconnect at once again.
        fakelink::setDefaultRead(validReading(101325.0f));
        fakelink::setDefaultConnectResult(1);
        rig.run(31000);
        QVERIFY(rig.link.up());
        QCOMPARE(rig.link.nextWaitMs(), LinkSupervisor::kFirstWaitMs);
        QCOMPARE(rig.display().status, QStringLiteral("Connected, valid pressure"));
    }

    // A short dropout is not a lost link, and while a reconnect is not due
    // the link keeps exchanging: data that returns is used at once.
    void aLinkThatComesBackByItselfIsNotReconnected()
    {
        Rig rig;
        QVERIFY(rig.link.connectFirst());
        rig.run(1000);
        fakelink::queueReads(std::vector<fakelink::Read>(80, failedRead()));
        const QList<LinkReport> reports = rig.run(3000);
        QCOMPARE(fakelink::connectCount(), 1);
        QVERIFY(reports.last().record);
    }

    // The slave stays below OP: every bring-up succeeds but the link never
    // turns healthy. Reconnects come further and further apart.
    void aSlaveBelowOpIsReconnectedLessAndLessOften()
    {
        Rig rig;
        QVERIFY(rig.link.connectFirst());
        fakelink::setDefaultCheck({4, -1});
        rig.run(90000);
        const std::vector<qint64> gaps = rig.gaps();
        QVERIFY2(gaps.size() >= 5, qPrintable(show(gaps)));
        for (size_t i = 1; i < gaps.size(); ++i)
            QVERIFY2(gaps[i] >= gaps[i - 1], qPrintable(show(gaps)));
        QVERIFY2(gaps.back() >= 30000 && gaps.back() <= 31000, qPrintable(show(gaps)));
        QVERIFY(rig.events.join('\n').contains(QStringLiteral("(EtherCAT issue: state=0x4 WKC=1)")));
        QVERIFY(!rig.display().record);
    }

    // A sensor that stays invalid (over range while the chamber is vented)
    // gets the window's immediate reconnect once, then growing waits.
    void aSensorThatStaysInvalidIsNotHammered()
    {
        Rig rig;
        QVERIFY(rig.link.connectFirst());
        rig.run(2000);
        fakelink::setDefaultRead(invalidReading(2e6f, 1, 0));
        fakelink::clearCalls();
        const QList<LinkReport> reports = rig.run(70000);
        const std::vector<qint64> gaps = rig.gaps();
        QVERIFY2(rig.connectTimes.size() >= 5, qPrintable(show(rig.connectTimes)));
        QCOMPARE(rig.connectTimes.front(), 3000);   // the first display period with five invalid readings
        for (size_t i = 0; i + 1 < gaps.size(); ++i)
            QVERIFY2(gaps[i + 1] >= gaps[i], qPrintable(show(gaps)));
        QCOMPARE(reports.first().status, QStringLiteral("Reconnected"));
        QCOMPARE(fakelink::disconnectCount(), fakelink::connectCount());
        QVERIFY(rig.events.first().startsWith(QStringLiteral("100 invalid readings in a row on eth0: reconnecting")));
        QVERIFY(reports.last().status.startsWith(QStringLiteral("Connected, pressure invalid, reconnect in ")));
        QVERIFY(!reports.last().record);
        QVERIFY(rig.link.up());
    }
};

QTEST_GUILESS_MAIN(TestLinkSupervisor)
#include "tst_link_supervisor.moc"
