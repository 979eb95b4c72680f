// The simulated sensor as a child process of the soak benchmark: started on
// an interface, awaited until it prints "ready", stopped with "quit".
#pragma once

#include <string>
#include <vector>
#include <sys/types.h>

namespace soak {

class SimProcess {
public:
    SimProcess() = default;
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts `exe --iface iface extraArgs...` and waits up to timeoutMs for
    // its "ready" line. On failure returns false with the reason in *error.
    bool start(const std::string &exe, const std::string &iface,
               const std::vector<std::string> &extraArgs, int timeoutMs, std::string *error);
    // Sends "quit", waits up to timeoutMs, then SIGKILL. Returns the exit
    // status as waitpid gives it, or -1 when it had to be killed.
    int stop(int timeoutMs);
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int toChild_ = -1;   // its stdin
    int fromChild_ = -1; // its stdout
};

} // namespace soak
