#include "rise_report.h"

#include <QFileInfo>
#include <QJsonValue>

namespace viewer {

namespace {

QJsonValue numberOrNull(bool known, double value) { return known ? QJsonValue(value) : QJsonValue(); }

QJsonObject thirdJson(const LineFit &fit)
{
    return QJsonObject{
        {QStringLiteral("readings"), double(fit.count)},
        {QStringLiteral("dp_dt_mbar_per_s"), numberOrNull(fit.ok, fit.slope)},
        {QStringLiteral("dp_dt_standard_error_mbar_per_s"), numberOrNull(fit.ok, fit.slopeError)},
    };
}

QString number(double value) { return QString::number(value, 'g', 4); }
QString seconds(double value) { return QString::number(value, 'f', 3); }
QString rate(double value) { return QString::number(value, 'e', 3); }
QString error(double value) { return QString::number(value, 'e', 2); }

} // namespace

QJsonObject riseJson(const RiseTest &test, const QString &file)
{
    QJsonObject json{
        {QStringLiteral("ok"), test.ran},
        {QStringLiteral("file"), file},
        {QStringLiteral("from_s"), test.from},
        {QStringLiteral("to_s"), test.to},
        {QStringLiteral("volume_l"), test.volumeLitres},
        {QStringLiteral("readings"), double(test.whole.count)},
        {QStringLiteral("verdict"), verdictName(test.verdict)},
        {QStringLiteral("reason"), test.reason},
    };
    if (!test.ran) {
        json.insert(QStringLiteral("error"), test.error);
        return json;
    }
    json.insert(QStringLiteral("dp_dt_mbar_per_s"), test.whole.slope);
    json.insert(QStringLiteral("dp_dt_standard_error_mbar_per_s"), test.whole.slopeError);
    json.insert(QStringLiteral("intercept_mbar"), test.whole.intercept);
    json.insert(QStringLiteral("leak_rate_mbar_l_per_s"), test.leakRate);
    json.insert(QStringLiteral("leak_rate_standard_error_mbar_l_per_s"), test.leakRateError);
    json.insert(QStringLiteral("first_third"), thirdJson(test.firstThird));
    json.insert(QStringLiteral("last_third"), thirdJson(test.lastThird));
    return json;
}

QString riseText(const RiseTest &test, const QString &file, PressureUnit unit)
{
    const QString span = QStringLiteral("%1, span %2 s to %3 s: %4 readings\n")
                             .arg(QFileInfo(file).fileName(), seconds(test.from), seconds(test.to))
                             .arg(test.whole.count);
    if (!test.ran)
        return QStringLiteral("Could not run: %1\n").arg(test.error) + span;
    const double scale = unitsPerMbar(unit);
    const QString name = unitName(unit);
    // The verdict first: it is what the test is for.
    QString text = QStringLiteral("Verdict: %1\n").arg(test.reason);
    text += QStringLiteral("dp/dt = %1 \u00b1 %2 %3/s\n")
                .arg(rate(test.whole.slope * scale), error(test.whole.slopeError * scale), name);
    text += QStringLiteral("Q = V dp/dt = %1 \u00b1 %2 mbar l/s (V = %3 l)\n")
                .arg(rate(test.leakRate), error(test.leakRateError), number(test.volumeLitres));
    const auto third = [&](const LineFit &fit) {
        return fit.ok ? QStringLiteral("%1 %2/s (%3 readings)").arg(rate(fit.slope * scale), name).arg(fit.count)
                      : QStringLiteral("- (%1 readings)").arg(fit.count);
    };
    text += QStringLiteral("first third %1\nlast third %2\n").arg(third(test.firstThird), third(test.lastThird));
    return text + span;
}

} // namespace viewer
