// The pressure units the viewer shows: mbar (what the run files hold), hPa,
// Pa and Torr, converted from their definitions: 1 mbar = 1 hPa = 100 Pa,
// and 1 Torr = 1/760 of the standard atmosphere of 101325 Pa, so that
// 1 mbar = 76000/101325 Torr = 0.750061683 Torr.
#pragma once

#include <QString>
#include <QStringList>

namespace viewer {

enum class PressureUnit { Mbar, Hpa, Pa, Torr };

inline constexpr double kPascalPerMbar = 100.0;
inline constexpr double kPascalPerHpa = 100.0;
inline constexpr double kPascalPerStandardAtmosphere = 101325.0;
inline constexpr double kTorrPerStandardAtmosphere = 760.0;

// How many of `unit` make one mbar.
double unitsPerMbar(PressureUnit unit);
inline double fromMbar(double mbar, PressureUnit unit) { return mbar * unitsPerMbar(unit); }
inline double toMbar(double value, PressureUnit unit) { return value / unitsPerMbar(unit); }

// "mbar", "hPa", "Pa", "Torr".
QString unitName(PressureUnit unit);
QStringList unitNames();
// Any of unitNames(), in any case; false for anything else.
bool parseUnit(const QString &name, PressureUnit *unit);

} // namespace viewer
