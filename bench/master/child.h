// A helper program run beside the benchmark: started, awaited until it
// prints "ready", ended with SIGTERM.
#ifndef BENCH_MASTER_CHILD_H
#define BENCH_MASTER_CHILD_H

#include <string>
#include <sys/types.h>
#include <vector>

class Child {
public:
    ~Child() { stop(); }
    bool start(const std::vector<std::string> &argv, int readyTimeoutMs, std::string *why);
    void stop();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
};

#endif
