// What the viewer computes without widgets: units against their defining
// constants, the logarithmic axis's range and decades, times to pressure on
// a pump-down of known shape, the rate-of-rise fit and verdict on seeded
// noisy rises, and the drawing's decimation keeping every column's extremes.
#include "column_decimation.h"
#include "pressure_axis.h"
#include "pressure_units.h"
#include "rate_of_rise.h"
#include "reach_times.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <functional>

using namespace viewer;

Q_DECLARE_METATYPE(viewer::PressureUnit)
Q_DECLARE_METATYPE(viewer::RiseTest::Verdict)

namespace {

// Readings every `step` seconds from t0 over `count` points of p(t), with
// normal noise of `sigma` mbar from a seeded generator.
QList<QPointF> sampled(const std::function<double(double)> &p, int count, double sigma = 0.0, double t0 = 0.0,
                       double step = 1.0)
{
    QRandomGenerator random(20240305);
    QList<QPointF> points;
    for (int i = 0; i < count; ++i) {
        const double t = t0 + i * step;
        // Box-Muller
        const double u1 = 1.0 - random.generateDouble();
        const double u2 = random.generateDouble();
        const double noise = sigma * std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * M_PI * u2);
        points.append(QPointF(t, p(t) + noise));
    }
    return points;
}

PressureSpan spanOf(std::initializer_list<double> values)
{
    PressureSpan span;
    for (double v : values)
        span.add(v);
    return span;
}

} // namespace

class TestViewerAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void unitsFromTheirDefinitions_data()
    {
        QTest::addColumn<PressureUnit>("unit");
        QTest::addColumn<double>("mbar");
        QTest::addColumn<double>("expected");
        QTest::addColumn<QString>("name");
        // 1 mbar = 1 hPa = 100 Pa; 760 Torr = 101325 Pa = 1013.25 mbar.
        QTest::newRow("mbar") << PressureUnit::Mbar << 1013.25 << 1013.25 << "mbar";
        QTest::newRow("hPa") << PressureUnit::Hpa << 1013.25 << 1013.25 << "hPa";
        QTest::newRow("Pa") << PressureUnit::Pa << 1013.25 << 101325.0 << "Pa";
        QTest::newRow("Torr, one atmosphere") << PressureUnit::Torr << 1013.25 << 760.0 << "Torr";
        QTest::newRow("Torr, one mbar") << PressureUnit::Torr << 1.0 << 0.750061683 << "torr";
        QTest::newRow("Torr, high vacuum") << PressureUnit::Torr << 1.3332236842105263e-6 << 1e-6 << "TORR";
    }
    void unitsFromTheirDefinitions()
    {
        QFETCH(PressureUnit, unit);
        QFETCH(double, mbar);
        QFETCH(double, expected);
        QFETCH(QString, name);
        QVERIFY(std::abs(fromMbar(mbar, unit) - expected) <= std::abs(expected) * 1e-9);
        QVERIFY(std::abs(toMbar(fromMbar(mbar, unit), unit) - mbar) <= mbar * 1e-15);
        PressureUnit parsed = PressureUnit::Mbar;
        QVERIFY(parseUnit(name, &parsed));
        QCOMPARE(parsed, unit);
        QVERIFY(!parseUnit(QStringLiteral("psi"), &parsed));
    }

    void logAxisRangeAndDecades_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<bool>("logByDefault");
        QTest::addColumn<double>("axisMin");
        QTest::addColumn<double>("axisMax");
        QTest::newRow("1e-3 to 1e3 mbar") << 1e-3 << 1e3 << true << 1e-3 << 1e3;
        QTest::newRow("inside 1e-3 to 1e3") << 1.7e-3 << 999.0 << true << 1e-3 << 1e3;
        QTest::newRow("1e-3 to 1e3 mbar in Torr") << 7.50061683e-4 << 750.061683 << true << 1e-4 << 1e3;
        QTest::newRow("a pump-down from atmosphere") << 2.3e-3 << 1013.25 << true << 1e-3 << 1e4;
        QTest::newRow("exactly two decades") << 1.0 << 100.0 << false << 1.0 << 100.0;
        QTest::newRow("just over two decades") << 1.0 << 100.5 << true << 1.0 << 1000.0;
        QTest::newRow("within one decade") << 0.5 << 0.7 << false << 0.1 << 1.0;
        QTest::newRow("one value on a decade") << 1000.0 << 1000.0 << false << 1000.0 << 10000.0;
    }
    void logAxisRangeAndDecades()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(bool, logByDefault);
        QFETCH(double, axisMin);
        QFETCH(double, axisMax);
        PressureSpan span = spanOf({high, low, (low + high) / 2});
        span.add(0.0);   // a gauge at its floor: drawn at the bottom, no part of the range
        span.add(-1e-4);
        QCOMPARE(span.atOrBelowZero, qsizetype(2));
        QCOMPARE(spansMoreThanTwoDecades(span), logByDefault);
        const AxisRange range = logAxisRange(span);
        QCOMPARE(range.min, axisMin);
        QCOMPARE(range.max, axisMax);
        const QList<double> ticks = decadeTicks(range);
        const int decades = int(std::lround(std::log10(axisMax / axisMin)));
        QCOMPARE(ticks.size(), decades + 1);
        for (int k = 0; k < ticks.size(); ++k)
            QCOMPARE(ticks[k], axisMin * std::pow(10.0, k));
    }

    void noPositiveReadingStillGivesAnAxis()
    {
        const PressureSpan zeros = spanOf({0.0, 0.0});
        QVERIFY(!spansMoreThanTwoDecades(zeros));
        QCOMPARE(logAxisRange(zeros).min, 1.0);
        QCOMPARE(logAxisRange(zeros).max, 1000.0);
        const AxisRange linear = linearAxisRange(spanOf({-2.0, 10.0}));
        QCOMPARE(linear.min, -2.0);
        QCOMPARE(linear.max, 10.5);
    }

    // p(t) = 1000 * 10^(-t / 20) mbar: a decade every 20 s, sampled every
    // second half-way between whole seconds, so no record sits on a level.
    void timesToPressure_data()
    {
        QTest::addColumn<double>("level");
        QTest::addColumn<bool>("reached");
        QTest::addColumn<double>("seconds");
        QTest::newRow("100 mbar") << 100.0 << true << 20.0;
        QTest::newRow("10 mbar") << 10.0 << true << 40.0;
        QTest::newRow("1 mbar") << 1.0 << true << 60.0;
        QTest::newRow("0.1 mbar") << 0.1 << true << 80.0;
        QTest::newRow("above the first record") << 2000.0 << true << 0.5;
        QTest::newRow("below the run's end") << 1e-9 << false << 0.0;
    }
    void timesToPressure()
    {
        QFETCH(double, level);
        QFETCH(bool, reached);
        QFETCH(double, seconds);
        const QList<QPointF> run = sampled([](double t) { return 1000.0 * std::pow(10.0, -t / 20.0); }, 150, 0.0, 0.5);
        const Reach reach = firstReach(run, level);
        QCOMPARE(reach.reached, reached);
        QVERIFY2(std::abs(reach.seconds - seconds) < 1e-9, qPrintable(QString::number(reach.seconds, 'g', 17)));
        // The same pump-down 7 s later, as a reference is compared with it.
        QList<QPointF> later = run;
        for (QPointF &p : later)
            p.rx() += 7.0;
        double difference = 0.0;
        QCOMPARE(reachDifference(firstReach(later, level), reach, &difference), reached);
        if (reached)
            QVERIFY(std::abs(difference - 7.0) < 1e-9);
    }

    void reachingAtTheFloorOrAcrossANewRunTakesTheRecordsTime_data()
    {
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<double>("seconds");
        QTest::newRow("reading of 0") << QList<QPointF>{{0, 1000}, {1, 0}, {2, 5}} << 1.0;
        QTest::newRow("time going back") << QList<QPointF>{{10, 1000}, {0, 0.5}} << 0.0;
        QTest::newRow("exactly on the level") << QList<QPointF>{{0, 1000}, {3, 1}, {4, 0.5}} << 3.0;
    }
    void reachingAtTheFloorOrAcrossANewRunTakesTheRecordsTime()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(double, seconds);
        const Reach reach = firstReach(points, 1.0);
        QVERIFY(reach.reached);
        QCOMPARE(reach.seconds, seconds);
    }

    void rateOfRise_data()
    {
        QTest::addColumn<QList<QPointF>>("points");
        QTest::addColumn<RiseTest::Verdict>("verdict");
        QTest::addColumn<QString>("because");
        QTest::addColumn<double>("knownRate");   // mbar/s, to recover within 1 %; 0: none
        constexpr double rate = 1e-4;
        const auto leak = [](double t) { return 1e-3 + rate * t; };
        QTest::newRow("straight rise, noisy") << sampled(leak, 300, 2e-4) << RiseTest::Leak << "straight" << rate;
        QTest::newRow("flattening rise")
            << sampled([](double t) { return 1e-3 + 0.01 * (1 - std::exp(-t / 100)); }, 300, 2e-5)
            << RiseTest::Outgassing << "flattens" << 0.0;
        QTest::newRow("leak and outgassing, leak ahead")
            << sampled([&](double t) { return leak(t) + 1e-3 * (1 - std::exp(-t / 100)); }, 300, 2e-5)
            << RiseTest::Leak << "straight" << 0.0;
        QTest::newRow("too few points") << sampled(leak, 9, 1e-6) << RiseTest::CannotTell << "too few" << 0.0;
        QTest::newRow("no line through two") << sampled(leak, 2) << RiseTest::CannotTell << "2 readings" << 0.0;
        QTest::newRow("too noisy") << sampled(leak, 300, 4e-3) << RiseTest::CannotTell << "noisy" << 0.0;
        QTest::newRow("no rise") << sampled([](double) { return 1e-3; }, 300, 1e-5) << RiseTest::CannotTell
                                 << "no clear rise" << 0.0;
        QTest::newRow("steepening") << sampled([](double t) { return 1e-3 + 1e-6 * t * t; }, 300, 1e-5)
                                    << RiseTest::CannotTell << "steeper" << 0.0;
    }
    void rateOfRise()
    {
        QFETCH(QList<QPointF>, points);
        QFETCH(RiseTest::Verdict, verdict);
        QFETCH(QString, because);
        QFETCH(double, knownRate);
        // Records outside the span must not count.
        QList<QPointF> run{{-50.0, 1000.0}, {-20.0, 1e-3}};
        run += points;
        run.append(QPointF(1e6, 1000.0));
        constexpr double litres = 25.0;
        const RiseTest test = viewer::rateOfRise(run, 0.0, points.constLast().x(), litres);
        QCOMPARE(test.ran, points.size() >= 3);
        QCOMPARE(test.whole.count, points.size());
        QVERIFY2(test.verdict == verdict, qPrintable(test.reason));
        QVERIFY2(test.reason.contains(because), qPrintable(test.reason));
        QCOMPARE(test.leakRate, litres * test.whole.slope);
        QCOMPARE(test.leakRateError, litres * test.whole.slopeError);
        if (knownRate > 0.0) {
            QVERIFY2(std::abs(test.whole.slope - knownRate) < 0.01 * knownRate,
                     qPrintable(QString::number(test.whole.slope)));
            QVERIFY(std::abs(test.leakRate - litres * knownRate) < 0.01 * litres * knownRate);
            QVERIFY(test.whole.slopeError > 0.0 && test.whole.slopeError < 0.01 * knownRate);
        }
    }

    // Each pixel column's lowest and highest reading is drawn, in file order,
    // with at most four points a column; readings <= 0 are marked on a log axis.
    void decimationKeepsEachColumnsExtremes_data()
    {
        QTest::addColumn<bool>("twoRuns");
        QTest::addColumn<bool>("logAxis");
        QTest::newRow("run file, linear") << false << false;
        QTest::newRow("run file, log, with zeros") << false << true;
        QTest::newRow("daily file of two runs, log") << true << true;
    }
    void decimationKeepsEachColumnsExtremes()
    {
        QFETCH(bool, twoRuns);
        QFETCH(bool, logAxis);
        QRandomGenerator random(99);
        QList<QPointF> points;
        double p = 500.0;
        for (int run = 0; run < (twoRuns ? 2 : 1); ++run) {
            for (int i = 0; i < 20000; ++i) {
                p = std::max(0.0, p + random.bounded(21) - 10.0);
                // Never on a column's edge, where rounding could pick either.
                points.append(QPointF(i * 0.5 + 0.125, p));
            }
        }
        DrawRequest request;
        request.x0 = 1000.0;
        request.x1 = 9000.0;
        request.columns = 400;
        request.scale = 100.0;
        request.logAxis = logAxis;
        request.floorY = -1.0;
        const DrawPoints drawn = pointsToDraw(points, viewer::ascendingX(points), request);
        QCOMPARE(viewer::ascendingX(points), !twoRuns);

        using Extremes = QMap<int, QPair<double, double>>;
        const auto column = [](double x) { return int(std::floor((x - 1000.0) / 20.0)); };
        const auto widen = [&](Extremes &m, double x, double y) {
            const int c = column(x);
            m[c] = m.contains(c) ? qMakePair(std::min(m[c].first, y), std::max(m[c].second, y)) : qMakePair(y, y);
        };
        Extremes expected, seen;
        QSet<int> zeros;
        qsizetype inside = 0;
        for (const QPointF &q : points) {
            if (q.x() < 1000.0 || q.x() > 9000.0)
                continue;
            ++inside;
            widen(expected, q.x(), logAxis && q.y() <= 0.0 ? -1.0 : q.y() * 100.0);
            if (q.y() <= 0.0)
                zeros.insert(column(q.x()));
        }
        for (const QPointF &q : drawn.line) {
            if (q.x() >= 1000.0 && q.x() <= 9000.0)
                widen(seen, q.x(), q.y());
        }
        QCOMPARE(seen, expected);
        QCOMPARE(drawn.visible.count, inside);
        QCOMPARE(viewer::ascendingX(drawn.line), !twoRuns);
        QVERIFY(drawn.line.size() <= 4 * (400 + 2) * (twoRuns ? 2 : 1));
        QSet<int> marked;
        for (const QPointF &q : drawn.floorMarks) {
            QCOMPARE(q.y(), -1.0);
            if (q.x() >= 1000.0 && q.x() < 9000.0)
                marked.insert(column(q.x()));
        }
        QCOMPARE(marked, logAxis ? zeros : QSet<int>());
        QVERIFY(!logAxis || !zeros.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestViewerAnalysis)
#include "tst_viewer_analysis.moc"
