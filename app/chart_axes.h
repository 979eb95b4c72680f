// The chart's axes: what they show at start-up and after Start Logging, and
// how the live chart and a loaded run move them.
#pragma once

namespace chart_axes {

// Seconds on the x axis: one logged point a second, so the live chart shows
// the last 60 points (0 to 60 at first) and scrolls once past them.
constexpr int kXSpan = 60;
// The y axis starts at 0 to 1200 mbar (about one atmosphere and a bit).
constexpr double kYMaxAtStart = 1200.0;
// How far above the largest pressure the y axis ends, live and for a loaded run.
constexpr double kYHeadroom = 50.0;

}  // namespace chart_axes
