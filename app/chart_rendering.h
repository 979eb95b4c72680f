#pragma once

QT_BEGIN_NAMESPACE
class QLineSeries;
QT_END_NAMESPACE

// Chooses how the live series is drawn; called once, right after the series
// is created.
void configureSeriesRendering(QLineSeries *series);
