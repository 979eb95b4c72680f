#pragma once

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QLineSeries;
QT_END_NAMESPACE

// Chooses how the live series is drawn; called once, right after the series
// is created: OpenGL when a context can be made here, else Qt's default.
void configureSeriesRendering(QLineSeries *series);

// Whether an OpenGL context can be created and made current (probed once).
bool openGLRenderingAvailable();
