#include "child.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

bool Child::start(const std::vector<std::string> &argv, int readyTimeoutMs, std::string *why)
{
    int outPipe[2], inPipe[2];
    if (pipe(outPipe) != 0 || pipe(inPipe) != 0) {
        *why = "pipe failed";
        return false;
    }
    pid_ = fork();
    if (pid_ < 0) {
        *why = "fork failed";
        return false;
    }
    if (pid_ == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(inPipe[0], STDIN_FILENO);
        close(outPipe[0]);
        close(inPipe[1]);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(inPipe[0]);
    out_ = outPipe[0];
    in_ = inPipe[1]; // kept open so the child never sees end of input
    std::string seen;
    for (;;) {
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, readyTimeoutMs) <= 0) {
            *why = argv[0] + " did not say ready";
            return false;
        }
        char c;
        const ssize_t n = read(out_, &c, 1);
        if (n <= 0) {
            *why = argv[0] + " ended before it was ready";
            return false;
        }
        if (c == '\n') {
            if (seen == "ready")
                return true;
            seen.clear();
        } else {
            seen += c;
        }
    }
}

void Child::stop()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
    if (out_ >= 0)
        close(out_);
    if (in_ >= 0)
        close(in_);
    out_ = in_ = -1;
}
