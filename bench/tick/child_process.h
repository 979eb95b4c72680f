// A helper program started in the background (the simulator or the bare
// reflector), with its standard output read until it prints `ready`.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class ChildProcess
{
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts argv[0] with argv and waits up to timeoutMs for the line "ready".
    bool start(const std::vector<std::string> &argv, int timeoutMs, std::string &error);
    void stop();  // SIGTERM, then waits for it

private:
    pid_t pid_ = -1;
    int out_ = -1;
};
