// Captures what this process writes to its standard error stream (fd 2),
// where the master and the link print why a bus failed, between
// construction and text().
#pragma once

#include <QString>

namespace testsupport {

class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    // Restores fd 2 on the first call and returns everything written since
    // construction; later calls return the same text.
    QString text();

private:
    int saved_ = -1;
    int file_ = -1;
    QString text_;
};

} // namespace testsupport
