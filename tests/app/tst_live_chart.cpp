// The live chart's append: the series gets every point, the axes scroll and
// grow as before, and what the chart draws after each append is exactly what
// a chart built at once from the same points and ranges draws, whether the
// append went in with a range change or without one.
#include "live_chart.h"

#include <QChart>
#include <QChartView>
#include <QImage>
#include <QLineSeries>
#include <QValueAxis>
#include <QtTest>

#include <climits>
#include <memory>

namespace {

// A chart set up as the window's (title, hidden legend, two value axes),
// drawn with Qt's default drawing, in a view of a fixed size.
struct TestChart
{
    QLineSeries *series = new QLineSeries;
    QChart *chart = new QChart;
    QValueAxis *axisX = new QValueAxis;
    QValueAxis *axisY = new QValueAxis;
    std::unique_ptr<QChartView> view;
    int sampleIndex = 0;

    TestChart()
    {
        chart->addSeries(series);
        chart->setTitle(QStringLiteral("Pressure over time"));
        chart->legend()->hide();
        axisX->setTitleText(QStringLiteral("Time (s)"));
        axisX->setRange(0, 60);
        axisY->setTitleText(QStringLiteral("Pressure (mbar)"));
        axisY->setRange(0, 1200);
        chart->addAxis(axisX, Qt::AlignBottom);
        chart->addAxis(axisY, Qt::AlignLeft);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        view = std::make_unique<QChartView>(chart);
        view->setRenderHint(QPainter::Antialiasing);
        view->resize(640, 400);
        view->show();
    }

    QImage picture() const
    {
        QCoreApplication::processEvents();  // pending layout of the chart
        return view->grab().toImage();
    }
};

// What a chart showing `live`'s points and ranges looks like when built at once.
QImage builtAtOnce(const TestChart &live)
{
    TestChart fresh;
    fresh.axisX->setRange(live.axisX->min(), live.axisX->max());
    fresh.axisY->setRange(live.axisY->min(), live.axisY->max());
    fresh.series->replace(live.series->points());
    return fresh.picture();
}

}  // namespace

class TestLiveChart : public QObject
{
    Q_OBJECT

private slots:
    void everyPointInTheSeries();
    void drawnAsIfBuiltAtOnce_data();
    void drawnAsIfBuiltAtOnce();
    void scrollThatChangesNothing();
    void sampleIndexStopsAtIntMax();
};

void TestLiveChart::everyPointInTheSeries()
{
    TestChart c;
    for (int i = 0; i < 65; ++i)
        appendLivePoint(c.series, c.axisX, c.axisY, c.sampleIndex, i == 30 ? 1500.25 : 1000.0 + i);
    QCOMPARE(c.series->count(), 65);
    for (int i = 0; i < 65; ++i) {
        QCOMPARE(c.series->at(i).x(), double(i));
        QCOMPARE(c.series->at(i).y(), i == 30 ? 1500.25 : 1000.0 + i);
    }
    QCOMPARE(c.sampleIndex, 65);
    QCOMPARE(c.axisX->min(), 5.0);
    QCOMPARE(c.axisX->max(), 65.0);
    QCOMPARE(c.axisY->max(), 1550.25);
}

// Checkpoints after which the live chart's picture is compared: the
// append with no range change, one that raises y only, the first scroll,
// and a scroll together with a raise.
void TestLiveChart::drawnAsIfBuiltAtOnce_data()
{
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("spikeAt");
    QTest::newRow("no range change") << 5 << -1;
    QTest::newRow("y raised, x still") << 11 << 10;
    QTest::newRow("first scroll") << 61 << -1;
    QTest::newRow("scroll and raise") << 70 << 69;
}

void TestLiveChart::drawnAsIfBuiltAtOnce()
{
    QFETCH(int, points);
    QFETCH(int, spikeAt);
    TestChart live;
    for (int i = 0; i < points; ++i) {
        const double mbar = i == spikeAt ? 1800.0 : 400.0 + 10.0 * (i % 7);
        appendLivePoint(live.series, live.axisX, live.axisY, live.sampleIndex, mbar);
        if (i == points - 2)
            live.picture();  // drawn once before the last append, as on screen
    }
    const QImage shown = live.picture();
    QVERIFY(!shown.isNull());
    QCOMPARE(shown, builtAtOnce(live));
}

// An x range that already is where the tick scrolls it (a run loaded just
// so) brings no refresh of its own: the point must still be drawn.
void TestLiveChart::scrollThatChangesNothing()
{
    TestChart live;
    for (int i = 0; i < 60; ++i)
        appendLivePoint(live.series, live.axisX, live.axisY, live.sampleIndex, 500.0);
    live.axisX->setRange(1, 61);
    live.picture();
    appendLivePoint(live.series, live.axisX, live.axisY, live.sampleIndex, 1100.0);
    QCOMPARE(live.axisX->min(), 1.0);
    QCOMPARE(live.axisX->max(), 61.0);
    QCOMPARE(live.picture(), builtAtOnce(live));
}

void TestLiveChart::sampleIndexStopsAtIntMax()
{
    TestChart c;
    c.sampleIndex = INT_MAX - 1;
    appendLivePoint(c.series, c.axisX, c.axisY, c.sampleIndex, 100.0);
    appendLivePoint(c.series, c.axisX, c.axisY, c.sampleIndex, 200.0);
    appendLivePoint(c.series, c.axisX, c.axisY, c.sampleIndex, 300.0);
    QCOMPARE(c.sampleIndex, INT_MAX);
    QCOMPARE(c.series->count(), 3);
    QCOMPARE(c.series->at(0).x(), double(INT_MAX - 1));
    QCOMPARE(c.series->at(2).x(), double(INT_MAX));
    QCOMPARE(c.axisX->max(), double(INT_MAX));
    QCOMPARE(c.axisX->min(), double(INT_MAX - 60));
}

QTEST_MAIN(TestLiveChart)
#include "tst_live_chart.moc"
