// What this process writes to its standard error stream (where the master
// says why an adapter cannot be used) between construction and text(),
// through a temporary file: the Windows C runtime's _dup/_dup2.
#pragma once

#include <string>

class StderrFile {
public:
    StderrFile();
    ~StderrFile();
    StderrFile(const StderrFile &) = delete;
    StderrFile &operator=(const StderrFile &) = delete;
    // Restores stderr on the first call; returns everything written since
    // construction (the same text on later calls).
    std::string text();

private:
    int saved_ = -1;
    int file_ = -1;
    std::string path_;
    std::string text_;
};
