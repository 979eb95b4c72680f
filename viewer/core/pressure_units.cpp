#include "pressure_units.h"

namespace viewer {

double unitsPerMbar(PressureUnit unit)
{
    switch (unit) {
    case PressureUnit::Mbar:
        return 1.0;
    case PressureUnit::Hpa:
        return kPascalPerMbar / kPascalPerHpa;
    case PressureUnit::Pa:
        return kPascalPerMbar;
    case PressureUnit::Torr:
        return kPascalPerMbar * kTorrPerStandardAtmosphere / kPascalPerStandardAtmosphere;
    }
    return 1.0;
}

QString unitName(PressureUnit unit)
{
    switch (unit) {
    case PressureUnit::Mbar:
        return QStringLiteral("mbar");
    case PressureUnit::Hpa:
        return QStringLiteral("hPa");
    case PressureUnit::Pa:
        return QStringLiteral("Pa");
    case PressureUnit::Torr:
        return QStringLiteral("Torr");
    }
    return QString();
}

QStringList unitNames()
{
    return {unitName(PressureUnit::Mbar), unitName(PressureUnit::Hpa), unitName(PressureUnit::Pa),
            unitName(PressureUnit::Torr)};
}

bool parseUnit(const QString &name, PressureUnit *unit)
{
    for (PressureUnit u : {PressureUnit::Mbar, PressureUnit::Hpa, PressureUnit::Pa, PressureUnit::Torr}) {
        if (name.compare(unitName(u), Qt::CaseInsensitive) == 0) {
            *unit = u;
            return true;
        }
    }
    return false;
}

} // namespace viewer
