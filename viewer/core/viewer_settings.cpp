#include "viewer_settings.h"

#include <QSettings>
#include <QStringList>

#include <cmath>

namespace viewer {

namespace {

const QString kUnitKey = QStringLiteral("unit");
const QString kLevelsKey = QStringLiteral("levels_mbar");
const QString kVolumeKey = QStringLiteral("volume_litres");

} // namespace

ViewerSettings loadSettings()
{
    const QSettings settings;
    ViewerSettings s;
    PressureUnit unit;
    if (parseUnit(settings.value(kUnitKey).toString(), &unit))
        s.unit = unit;
    for (const QString &text : settings.value(kLevelsKey).toStringList()) {
        bool ok = false;
        const double mbar = text.toDouble(&ok);
        if (ok && mbar > 0.0 && std::isfinite(mbar))
            s.levelsMbar.append(mbar);
    }
    const double litres = settings.value(kVolumeKey).toDouble();
    if (litres > 0.0 && std::isfinite(litres))
        s.volumeLitres = litres;
    return s;
}

void saveUnit(PressureUnit unit)
{
    QSettings().setValue(kUnitKey, unitName(unit));
}

void saveLevels(const QList<double> &mbar)
{
    QStringList texts;
    for (double level : mbar)
        texts.append(QString::number(level, 'g', 17));
    QSettings().setValue(kLevelsKey, texts);
}

void saveVolume(double litres)
{
    QSettings().setValue(kVolumeKey, litres);
}

} // namespace viewer
