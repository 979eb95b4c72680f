#include "run_naming.h"

#include <QFileInfo>

namespace records {

namespace {
// Far more starts than one second can hold; past it the plain stamp is
// returned and the exclusive open reports the clash.
constexpr int kMaxSuffix = 100000;
}

QString runStamp(const QDateTime &start)
{
    return start.toString(QLatin1String(kRunStampFormat));
}

QString runCsvName(const QString &baseName)
{
    return baseName + QLatin1String(kRunCsvSuffix);
}

QString snapshotName(const QString &baseName)
{
    return baseName + QLatin1String(kSnapshotSuffix);
}

QString dailyCsvName(const QDate &day)
{
    return day.toString(QLatin1String(kDailyDateFormat)) + QLatin1String(kDailySuffix);
}

QString freeRunBaseName(const QString &stamp, const QDir &dir)
{
    // QFileInfo::exists is false for a dangling symlink, which an exclusive
    // open would still refuse; test the link itself too.
    auto taken = [&dir](const QString &base) {
        const QFileInfo info(dir, runCsvName(base));
        return info.exists() || info.isSymLink();
    };
    if (!taken(stamp))
        return stamp;
    for (int n = 2; n <= kMaxSuffix; ++n) {
        const QString candidate = stamp + QLatin1Char('_') + QString::number(n);
        if (!taken(candidate))
            return candidate;
    }
    return stamp;
}

} // namespace records
