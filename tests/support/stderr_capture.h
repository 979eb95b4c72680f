// Captures what this process writes to its standard error stream, where the
// master and the link say why a bus or an adapter failed, between
// construction and text(), through a temporary file. No Qt: the Windows test
// program uses it too (the C runtime's _dup/_dup2 there).
#pragma once

#include <string>

namespace testsupport {

class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;
    // Restores stderr on the first call and returns everything written since
    // construction (a child process forked meanwhile included); later calls
    // return the same text.
    std::string text();

private:
    int saved_ = -1;
    int file_ = -1;
    std::string path_; // removed at the end where an open file cannot be unlinked
    std::string text_;
};

} // namespace testsupport
