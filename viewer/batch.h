// What the command line asks for without a window: the rate-of-rise test
// printed as JSON, and the chart written as a PNG image (with the test's
// span and fit on it when both are asked for).
#pragma once

namespace viewer {

struct ViewerOptions;

// Under a QCoreApplication; prints one JSON object on the standard output.
int printRiseTest(const ViewerOptions &options);
// Under a QApplication (the offscreen platform unless one is set).
int exportPng(const ViewerOptions &options);

} // namespace viewer
