#include "chart_rendering.h"

void configureSeriesRendering(QLineSeries *) {}
