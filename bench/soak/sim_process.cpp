#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace soak {

namespace {

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void closeFd(int &fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

SimProcess::~SimProcess()
{
    if (pid_ > 0)
        stop(2000);
}

bool SimProcess::start(const std::string &exe, const std::string &iface,
                       const std::vector<std::string> &extraArgs, int timeoutMs,
                       std::string *error)
{
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        *error = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    std::vector<std::string> args{exe, "--iface", iface};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ < 0) {
        *error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (pid_ == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(exe.c_str(), argv.data());
        const char msg[] = "soak: cannot start the simulator\n";
        (void)!::write(STDERR_FILENO, msg, sizeof msg - 1);
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    toChild_ = in[1];
    fromChild_ = out[0];

    // Read its stdout line by line until "ready" or the deadline.
    std::string seen;
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t nl = seen.find('\n');
        if (nl != std::string::npos) {
            const std::string line = seen.substr(0, nl);
            seen.erase(0, nl + 1);
            if (line == "ready")
                return true;
            continue;
        }
        const long long left = deadline - nowMs();
        if (left <= 0) {
            *error = "the simulator did not print \"ready\" within " + std::to_string(timeoutMs) + " ms";
            stop(1000);
            return false;
        }
        pollfd p{fromChild_, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(fromChild_, buf, sizeof buf);
        if (n <= 0) {
            *error = "the simulator ended before it printed \"ready\"";
            stop(1000);
            return false;
        }
        seen.append(buf, static_cast<size_t>(n));
    }
}

int SimProcess::stop(int timeoutMs)
{
    if (pid_ <= 0)
        return -1;
    if (toChild_ >= 0) {
        const char quit[] = "quit\n";
        (void)!::write(toChild_, quit, sizeof quit - 1);
    }
    closeFd(toChild_);
    int status = 0;
    const long long deadline = nowMs() + timeoutMs;
    int result = -1;
    for (;;) {
        const pid_t r = ::waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            result = status;
            break;
        }
        if (nowMs() >= deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        // Draining the child's stdout doubles as the wait between checks;
        // once it is closed, poll on nothing waits the same 20 ms.
        pollfd p{fromChild_, POLLIN, 0};
        if (::poll(&p, fromChild_ >= 0 ? 1 : 0, 20) > 0) {
            char buf[256];
            if (::read(fromChild_, buf, sizeof buf) <= 0)
                closeFd(fromChild_);
        }
    }
    closeFd(fromChild_);
    pid_ = -1;
    return result;
}

} // namespace soak
