// The viewer's window, offscreen: the logarithmic axis over decades and its
// ticks, readings at or below zero at the axis floor, the unit remembered,
// a followed file's new records within a second (the view staying where the
// user put it), a half-written line completed, a shrunk file read again, the
// times-to-pressure table against a reference, and the rate-of-rise test on
// a span dragged on the chart and saved.
#include "followed_run.h"
#include "pressure_chart.h"
#include "reach_table.h"
#include "record_check.h"
#include "rise_panel.h"
#include "run_files.h"
#include "run_parser.h"
#include "viewer_window.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QScatterSeries>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <cmath>

using namespace viewer;
using testsupport::sampleRun;

Q_DECLARE_METATYPE(viewer::AxisChoice)
Q_DECLARE_METATYPE(viewer::PressureUnit)

namespace {

// A pump-down of six decades from 1000 mbar, a decade every 20 s.
double pumpDown(double t) { return 1000.0 * std::pow(10.0, -t / 20.0); }


template <typename S>
QList<S *> seriesOf(PressureChart *chart)
{
    QList<S *> found;
    for (QAbstractSeries *s : chart->chart()->series()) {
        if (auto *typed = qobject_cast<S *>(s); typed && s->metaObject() == &S::staticMetaObject)
            found.append(typed);
    }
    return found;
}

// Where elapsed time `t` is in the chart's viewport.
QPoint viewportPoint(PressureChart *chart, double t)
{
    const QRectF plot = chart->chart()->plotArea();
    const double x = plot.left() + (t - chart->windowStart()) / (chart->windowEnd() - chart->windowStart()) * plot.width();
    return chart->mapFromScene(chart->chart()->mapToScene(QPointF(x, plot.center().y())));
}

} // namespace

class TestViewerWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_files = 0;

    QString run(const QList<QPointF> &points)
    {
        return testsupport::writeRun(m_dir.filePath(QStringLiteral("run%1.csv").arg(++m_files)), points);
    }

    static void open(ViewerWindow &w, const QString &path, bool reference = false)
    {
        QString error;
        QVERIFY2(w.openRun(path, reference, &error), qPrintable(error));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QSettings().clear();
    }

    void pressureAxisOverDecades_data()
    {
        QTest::addColumn<double>("lowest");
        QTest::addColumn<AxisChoice>("choice");
        QTest::addColumn<PressureUnit>("unit");
        QTest::addColumn<bool>("logarithmic");
        QTest::addColumn<double>("axisMin");
        QTest::addColumn<double>("axisMax");
        QTest::addColumn<int>("decadeTicks");
        QTest::newRow("1e-3 to 1e3 mbar") << 1e-3 << AxisChoice::Automatic << PressureUnit::Mbar << true << 1e-3 << 1e3 << 7;
        QTest::newRow("1e-3 to 1e3 mbar in Pa") << 1e-3 << AxisChoice::Automatic << PressureUnit::Pa << true << 1e-1 << 1e5 << 7;
        QTest::newRow("1e-3 to 1e3 mbar in Torr") << 1e-3 << AxisChoice::Automatic << PressureUnit::Torr << true << 1e-4 << 1e3 << 8;
        QTest::newRow("two decades: linear") << 10.0 << AxisChoice::Automatic << PressureUnit::Mbar << false << 0.0 << 0.0 << 0;
        QTest::newRow("linear asked for") << 1e-3 << AxisChoice::Linear << PressureUnit::Mbar << false << 0.0 << 0.0 << 0;
        QTest::newRow("logarithmic asked for") << 10.0 << AxisChoice::Logarithmic << PressureUnit::Hpa << true << 10.0 << 1e3 << 3;
    }
    void pressureAxisOverDecades()
    {
        QFETCH(double, lowest);
        QFETCH(AxisChoice, choice);
        QFETCH(PressureUnit, unit);
        QFETCH(bool, logarithmic);
        QFETCH(double, axisMin);
        QFETCH(double, axisMax);
        QFETCH(int, decadeTicks);
        ViewerWindow w;
        w.setUnit(unit, false);
        w.setAxisChoice(choice);
        const double decades = std::log10(1000.0 / lowest);
        open(w, run(sampleRun([&](double t) { return 1000.0 * std::pow(10.0, -decades * t / 100.0); }, 101)));
        w.show();
        w.chart()->redrawNow();
        QCOMPARE(w.chart()->logarithmic(), logarithmic);
        QVERIFY(w.chart()->pressureAxis()->titleText().contains(unitName(unit)));
        auto *log = qobject_cast<QLogValueAxis *>(w.chart()->pressureAxis());
        QCOMPARE(log != nullptr, logarithmic);
        if (!log)
            return;
        QVERIFY2(std::abs(log->min() / axisMin - 1.0) < 1e-6, qPrintable(QString::number(log->min())));
        QVERIFY2(std::abs(log->max() / axisMax - 1.0) < 1e-6, qPrintable(QString::number(log->max())));
        QCOMPARE(log->tickCount(), decadeTicks);
    }

    void readingsAtOrBelowZeroAreMarkedAtTheFloor()
    {
        ViewerWindow w;
        QList<QPointF> points = sampleRun(pumpDown, 100);
        points[30].setY(0.0);
        points[70].setY(-0.001);
        open(w, run(points));
        w.show();
        w.chart()->redrawNow();
        QVERIFY(w.chart()->logarithmic());
        const double floor = qobject_cast<QLogValueAxis *>(w.chart()->pressureAxis())->min();
        const QList<QScatterSeries *> marks = seriesOf<QScatterSeries>(w.chart());
        QCOMPARE(marks.size(), 1);
        QCOMPARE(marks[0]->count(), 2);
        for (const QPointF &p : marks[0]->points())
            QVERIFY(std::abs(p.y() / floor - 1.0) < 1e-6);
        QCOMPARE(marks[0]->at(0).x(), 30.0);
        QCOMPARE(marks[0]->at(1).x(), 70.0);
        QVERIFY(marks[0]->name().contains(QLatin1String("2 readings at or below 0")));
        QVERIFY2(w.summary().contains(QLatin1String("100 records, 2 at or below 0")), qPrintable(w.summary()));
        // The line goes down to the floor there, every point drawable.
        for (QLineSeries *line : seriesOf<QLineSeries>(w.chart())) {
            for (const QPointF &p : line->points())
                QVERIFY(p.y() > 0.0);
        }
    }

    void theUnitIsRememberedBetweenStarts()
    {
        {
            ViewerWindow first;
            first.setUnit(PressureUnit::Torr, true);
            first.setUnit(PressureUnit::Pa, false);   // from the command line: not kept
        }
        ViewerWindow next;
        QCOMPARE(next.chart()->unit(), PressureUnit::Torr);
        next.setUnit(PressureUnit::Mbar, true);
    }

    // Ten records appended at once to a followed file of 100: shown within a
    // second; the whole view grows, a window at the end moves along, a
    // window elsewhere stays.
    void aFollowedFileShowsAppendedRecordsWithinASecond_data()
    {
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::addColumn<double>("fromAfter");
        QTest::addColumn<double>("toAfter");
        QTest::newRow("whole run") << -1.0 << -1.0 << 0.0 << 109.0;
        QTest::newRow("zoomed at the end") << 79.0 << 99.0 << 89.0 << 109.0;
        QTest::newRow("zoomed elsewhere") << 10.0 << 30.0 << 10.0 << 30.0;
    }
    void aFollowedFileShowsAppendedRecordsWithinASecond()
    {
        QFETCH(double, from);
        QFETCH(double, to);
        QFETCH(double, fromAfter);
        QFETCH(double, toAfter);
        ViewerWindow w;
        const QList<QPointF> all = sampleRun(pumpDown, 110);
        const QString path = run(all.mid(0, 100));
        open(w, path);
        w.show();
        if (from >= 0.0)
            w.chart()->setTimeWindow(from, to);
        w.chart()->redrawNow();
        QVERIFY(testsupport::appendToFile(path, testsupport::recordLines(all.mid(100))));
        FollowedRun *followed = w.runs().constFirst();
        QVERIFY(QTest::qWaitFor([&] { return followed->points().size() == 110; }, 1000));
        QCOMPARE(followed->points(), records::parseRunBytes(testsupport::recordLines(all)).points);
        w.chart()->redrawNow();
        QCOMPARE(w.chart()->windowStart(), fromAfter);
        QCOMPARE(w.chart()->windowEnd(), toAfter);
        QVERIFY2(w.summary().contains(QLatin1String("110 records")), qPrintable(w.summary()));
        if (toAfter == 109.0)
            QCOMPARE(seriesOf<QLineSeries>(w.chart()).constFirst()->points().constLast().x(), 109.0);
    }

    void aHalfWrittenLineIsCompletedWhenItsEndArrives()
    {
        ViewerWindow w;
        const QString path = run(sampleRun(pumpDown, 10));
        open(w, path);
        QVERIFY(testsupport::appendToFile(path, "2024-03-05;14:07:19;10.000;12.3"));
        QVERIFY(QTest::qWaitFor([&] { return w.summary().contains(QLatin1String("waits for its end")); }, 1000));
        QCOMPARE(w.runs().constFirst()->points().size(), 10);
        QVERIFY(testsupport::appendToFile(path, "4\n"));
        QVERIFY(QTest::qWaitFor([&] { return w.runs().constFirst()->points().size() == 11; }, 1000));
        QCOMPARE(w.runs().constFirst()->points().constLast(), QPointF(10.0, 12.34));
        QVERIFY(!w.summary().contains(QLatin1String("waits")));
        // Not followed, a last line without its end counts as it stands.
        QVERIFY(testsupport::appendToFile(path, "2024-03-05;14:07:20;11.000;5.5"));
        w.setFollowing(false);
        QCOMPARE(w.runs().constFirst()->points().constLast(), QPointF(11.0, 5.5));
    }

    void aShrunkFileIsReadAgainAndSaidSo()
    {
        ViewerWindow w;
        const QString path = run(sampleRun(pumpDown, 50));
        open(w, path);
        testsupport::writeRun(path, sampleRun(pumpDown, 5));
        QVERIFY(QTest::qWaitFor([&] { return w.runs().constFirst()->points().size() == 5; }, 1000));
        QVERIFY2(w.statusBar()->currentMessage().contains(QLatin1String("got shorter")),
                 qPrintable(w.statusBar()->currentMessage()));
    }

    void timesToPressureAgainstAReference()
    {
        ViewerWindow w;
        open(w, run(sampleRun(pumpDown, 150, 0.5)), true);
        // This run pumps 7 s slower and stops at 0.5 mbar.
        open(w, run(sampleRun([](double t) { return std::max(0.5, pumpDown(t - 7.0)); }, 150, 0.5)));
        ReachTable *table = w.reachTable();
        QCOMPARE(table->columnCount(), 4);
        QCOMPARE(table->rowCount(), 4);
        const auto row = [&](int r) {
            return QStringList{table->item(r, 0)->text(), table->item(r, 1)->text(), table->item(r, 2)->text(),
                               table->item(r, 3)->text()};
        };
        QCOMPARE(row(0), (QStringList{"100", "20.0 s", "27.0 s", "+7.0 s"}));
        QCOMPARE(row(2), (QStringList{"1", "60.0 s", "67.0 s", "+7.0 s"}));
        QCOMPARE(row(3), (QStringList{"0.1", "80.0 s", "not reached", "-"}));
        table->item(3, 0)->setText(QStringLiteral("2"));
        QVERIFY(QTest::qWaitFor([&] { return row(3) == QStringList{"2", "54.0 s", "61.0 s", "+7.0 s"}; }, 1000));
        QCOMPARE(table->levels().at(3), 2.0);
        w.setUnit(PressureUnit::Pa, false);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("10000"));
    }

    void rateOfRiseOnASpanDraggedOnTheChart()
    {
        ViewerWindow w;
        w.resize(1200, 700);
        // The pump-down, then shut off: 2e-4 mbar/s from 100 s on.
        const auto shape = [](double t) { return t < 100.0 ? pumpDown(t * 0.6) : pumpDown(60.0) + 2e-4 * (t - 100.0); };
        open(w, run(sampleRun(shape, 300)));
        w.risePanel()->setVolume(50.0);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Drawn, and the layout that the axes' labels ask for done.
        w.chart()->redrawNow();
        QCoreApplication::processEvents();
        w.chart()->setPickingSpan(true);
        QTest::mousePress(w.chart()->viewport(), Qt::LeftButton, {}, viewportPoint(w.chart(), 120.0));
        QTest::mouseRelease(w.chart()->viewport(), Qt::LeftButton, {}, viewportPoint(w.chart(), 280.0));
        QVERIFY(w.risePanel()->result().has_value());
        const RiseTest &test = *w.risePanel()->result();
        QVERIFY2(std::abs(test.from - 120.0) < 2.0 && std::abs(test.to - 280.0) < 2.0,
                 qPrintable(QStringLiteral("%1 to %2 s").arg(test.from).arg(test.to)));
        QCOMPARE(test.verdict, RiseTest::Leak);
        QVERIFY(std::abs(test.leakRate - 50.0 * 2e-4) < 1e-9);
        QVERIFY(w.risePanel()->resultText().contains(QLatin1String("Verdict: leak")));
        // The fit is drawn over the span.
        QLineSeries *fit = nullptr;
        for (QLineSeries *s : seriesOf<QLineSeries>(w.chart()))
            fit = s->name().startsWith(QLatin1String("fit")) ? s : fit;
        QVERIFY(fit && fit->count() > 2);
        QCOMPARE(fit->at(0).x(), test.from);
        const QList<QLegendMarker *> markers = w.chart()->chart()->legend()->markers(fit);
        QCOMPARE(markers.size(), 1);
        QVERIFY(markers[0]->isVisible());
        QVERIFY2(markers[0]->label().contains(QLatin1String("dp/dt = 0.0002 mbar/s")), qPrintable(markers[0]->label()));

        const QString png = m_dir.filePath(QStringLiteral("rise.png"));
        QString error;
        QVERIFY2(w.risePanel()->save(png, &error), qPrintable(error));
        QCOMPARE(QImage(png).size(), w.chart()->size());
        const QJsonObject json = QJsonDocument::fromJson(testsupport::fileBytes(m_dir.filePath(QStringLiteral("rise.json")))).object();
        QCOMPARE(json.value(QStringLiteral("verdict")).toString(), QStringLiteral("leak"));
        QCOMPARE(json.value(QStringLiteral("leak_rate_mbar_l_per_s")).toDouble(), test.leakRate);
    }
};

QTEST_MAIN(TestViewerWindow)
#include "tst_viewer_window.moc"
