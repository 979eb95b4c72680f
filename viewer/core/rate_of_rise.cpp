#include "rate_of_rise.h"

#include <algorithm>
#include <cmath>

namespace viewer {

namespace {

QString number(double value) { return QString::number(value, 'g', 3); }

QList<QPointF> within(const QList<QPointF> &points, double from, double to)
{
    QList<QPointF> span;
    for (const QPointF &p : points) {
        if (p.x() >= from && p.x() <= to)
            span.append(p);
    }
    return span;
}

// The verdict on the shape from the whole fit and the thirds' fits.
void judge(RiseTest &test)
{
    const LineFit &whole = test.whole;
    const LineFit &first = test.firstThird;
    const LineFit &last = test.lastThird;
    const auto cannotTell = [&](const QString &why) {
        test.verdict = RiseTest::CannotTell;
        test.reason = QStringLiteral("cannot tell: ") + why;
    };
    if (whole.count < kMinRecords) {
        cannotTell(QStringLiteral("too few points (%1 readings in the span; at least %2 are needed)")
                       .arg(whole.count).arg(kMinRecords));
        return;
    }
    if (first.count < kMinPerThird || last.count < kMinPerThird || !first.ok || !last.ok) {
        cannotTell(QStringLiteral("too few points (%1 readings in the first third and %2 in the last; "
                                  "at least %3 each are needed)")
                       .arg(first.count).arg(last.count).arg(kMinPerThird));
        return;
    }
    if (!(whole.slope > kRiseSigmas * whole.slopeError)) {
        cannotTell(QStringLiteral("no clear rise (dp/dt = %1 +- %2 mbar/s)")
                       .arg(number(whole.slope), number(whole.slopeError)));
        return;
    }
    const double difference = last.slope - first.slope;
    const double differenceError = std::hypot(first.slopeError, last.slopeError);
    if (differenceError > kMaxShapeNoise * whole.slope) {
        cannotTell(QStringLiteral("too noisy to compare the first and last thirds (their slopes %1 and %2 "
                                  "mbar/s, each +- about %3): a longer span, or a quieter gauge")
                       .arg(number(first.slope), number(last.slope), number(differenceError / std::sqrt(2.0))));
        return;
    }
    const double ratio = last.slope / first.slope;
    const QString shape =
        QStringLiteral("the last third rises at %1 times the first third's rate").arg(ratio, 0, 'f', 2);
    if (difference < -kShapeSigmas * differenceError && last.slope < kFlatteningRatio * first.slope) {
        test.verdict = RiseTest::Outgassing;
        test.reason = QStringLiteral("outgassing: the rise flattens (%1)").arg(shape);
    } else if (difference > kShapeSigmas * differenceError && last.slope > kSteepeningRatio * first.slope) {
        cannotTell(QStringLiteral("the rise grows steeper (%1), neither a leak nor outgassing").arg(shape));
    } else {
        test.verdict = RiseTest::Leak;
        test.reason = QStringLiteral("leak: the rise stays straight (%1)").arg(shape);
    }
}

} // namespace

LineFit fitLine(const QPointF *begin, const QPointF *end)
{
    LineFit fit;
    fit.count = end - begin;
    if (fit.count < 3)
        return fit;
    const double n = double(fit.count);
    double sumT = 0.0, sumP = 0.0;
    for (const QPointF *p = begin; p != end; ++p) {
        sumT += p->x();
        sumP += p->y();
    }
    const double meanT = sumT / n;
    const double meanP = sumP / n;
    double sxx = 0.0, sxy = 0.0;
    for (const QPointF *p = begin; p != end; ++p) {
        const double dt = p->x() - meanT;
        sxx += dt * dt;
        sxy += dt * (p->y() - meanP);
    }
    if (!(sxx > 0.0))
        return fit;
    fit.slope = sxy / sxx;
    fit.intercept = meanP - fit.slope * meanT;
    double residuals = 0.0;
    for (const QPointF *p = begin; p != end; ++p) {
        const double r = (p->y() - meanP) - fit.slope * (p->x() - meanT);
        residuals += r * r;
    }
    fit.slopeError = std::sqrt(residuals / (n - 2.0) / sxx);
    fit.ok = true;
    return fit;
}

RiseTest rateOfRise(const QList<QPointF> &points, double from, double to, double volumeLitres)
{
    RiseTest test;
    test.from = from;
    test.to = to;
    test.volumeLitres = volumeLitres;
    const QList<QPointF> span = within(points, from, to);
    test.whole = fitLine(span.constData(), span.constData() + span.size());
    if (!test.whole.ok) {
        test.error = QStringLiteral("%1 readings between %2 s and %3 s: a line needs at least three, at two "
                                    "or more times")
                         .arg(span.size()).arg(from).arg(to);
        test.reason = QStringLiteral("cannot tell: ") + test.error;
        return test;
    }
    test.ran = true;
    test.leakRate = volumeLitres * test.whole.slope;
    test.leakRateError = volumeLitres * test.whole.slopeError;

    const auto [lowest, highest] = std::minmax_element(span.cbegin(), span.cend(),
                                                       [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    const double third = (highest->x() - lowest->x()) / 3.0;
    const QList<QPointF> first = within(span, lowest->x(), lowest->x() + third);
    const QList<QPointF> last = within(span, highest->x() - third, highest->x());
    test.firstThird = fitLine(first.constData(), first.constData() + first.size());
    test.lastThird = fitLine(last.constData(), last.constData() + last.size());
    judge(test);
    return test;
}

QString verdictName(RiseTest::Verdict verdict)
{
    switch (verdict) {
    case RiseTest::Leak:
        return QStringLiteral("leak");
    case RiseTest::Outgassing:
        return QStringLiteral("outgassing");
    case RiseTest::CannotTell:
        break;
    }
    return QStringLiteral("cannot tell");
}

} // namespace viewer
