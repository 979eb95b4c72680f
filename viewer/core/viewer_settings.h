// What the viewer remembers between starts (QSettings, in the user's
// configuration folder): the unit chosen in the window, the levels of the
// times-to-pressure table and the chamber volume of the rate-of-rise test.
#pragma once

#include "pressure_units.h"

#include <QList>

namespace viewer {

struct ViewerSettings
{
    PressureUnit unit = PressureUnit::Mbar;
    QList<double> levelsMbar;   // empty: the defaults
    double volumeLitres = 0.0;  // 0: the default
};

ViewerSettings loadSettings();
void saveUnit(PressureUnit unit);
void saveLevels(const QList<double> &mbar);
void saveVolume(double litres);

} // namespace viewer
