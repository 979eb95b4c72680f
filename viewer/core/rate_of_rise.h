// The rate-of-rise test: with the chamber shut off from its pump, the
// pressure rise over a span of time tells the leak rate. A straight line is
// fitted to the readings of the span by least squares, p(t) = a + b t, and
//   Q = V * dp/dt   (mbar l/s, for the chamber volume V in litres).
//
// Whether the rise is a leak or outgassing: a leak lets gas in at a constant
// rate, so the rise stays straight; gas coming off the walls slows down as
// they empty, so the rise flattens. The test fits a line to the first and to
// the last third of the span (by time) as well, with slopes b1 and b3 and
// their standard errors s1 and s3, and with sd = sqrt(s1^2 + s3^2):
//   - fewer than kMinRecords readings, or fewer than kMinPerThird in a third:
//     cannot tell (too few points);
//   - b not above kRiseSigmas standard errors: cannot tell (no clear rise);
//   - kShapeSigmas sd above (1 - kFlatteningRatio) of b: cannot tell (too
//     noisy: a rise flattening to kFlatteningRatio would not stand out);
//   - b3 below b1 by more than kShapeSigmas sd and below kFlatteningRatio
//     of b1: outgassing (the rise flattens);
//   - b3 above b1 by more than kShapeSigmas sd and above kSteepeningRatio of
//     b1: cannot tell (the rise grows steeper, as neither does);
//   - else: a leak (the rise stays straight).
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

namespace viewer {

inline constexpr int kMinRecords = 10;
inline constexpr int kMinPerThird = 3;
inline constexpr double kRiseSigmas = 3.0;
inline constexpr double kShapeSigmas = 3.0;
inline constexpr double kFlatteningRatio = 0.8;
inline constexpr double kMaxShapeNoise = (1.0 - kFlatteningRatio) / kShapeSigmas;
inline constexpr double kSteepeningRatio = 1.25;

// p = intercept + slope * t over `count` points; slopeError is the slope's
// standard error, sqrt(residual variance / sum (t - mean t)^2), with n - 2
// degrees of freedom.
struct LineFit
{
    bool ok = false;      // at least three points at two or more times
    qsizetype count = 0;
    double slope = 0.0;
    double intercept = 0.0;
    double slopeError = 0.0;
};

LineFit fitLine(const QPointF *begin, const QPointF *end);

struct RiseTest
{
    enum Verdict { Leak, Outgassing, CannotTell };

    bool ran = false;     // the whole span's line could be fitted
    QString error;        // why not
    double from = 0.0;    // the span asked for (elapsed seconds)
    double to = 0.0;
    double volumeLitres = 0.0;
    LineFit whole;        // mbar/s
    LineFit firstThird;
    LineFit lastThird;
    double leakRate = 0.0;        // mbar l/s
    double leakRateError = 0.0;   // mbar l/s
    Verdict verdict = CannotTell;
    QString reason;       // the verdict in words, with the numbers behind it
};

// The readings with from <= t <= to (x elapsed seconds, y mbar).
RiseTest rateOfRise(const QList<QPointF> &points, double from, double to, double volumeLitres);

// "leak", "outgassing", "cannot tell".
QString verdictName(RiseTest::Verdict verdict);

} // namespace viewer
