// Asking pressure-raw-socket for a socket (helper_protocol.h).
#include "helper_protocol.h"

#include <rawsocket/helper.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace rawsocket {

namespace {

// The helper does a few system calls; this is for a machine under load.
constexpr int kAnswerMs = 5000;

bool isPacketSocket(int fd)
{
    int domain = 0, type = 0;
    socklen_t len = sizeof domain;
    if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &len) != 0)
        return false;
    len = sizeof type;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) == 0 && domain == AF_PACKET && type == SOCK_RAW;
}

// Starts the helper with `answer` as its standard output and error, nothing
// as its input, no other descriptor, no environment, default signal
// handling and no blocked signal. 0, or the error number.
int start(const std::string &path, const char *adapter, int answer, pid_t *pid)
{
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return ENOMEM;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return ENOMEM;
    }
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    int rc = posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    rc = rc ? rc : posix_spawn_file_actions_adddup2(&actions, answer, STDOUT_FILENO);
    rc = rc ? rc : posix_spawn_file_actions_adddup2(&actions, answer, STDERR_FILENO);
    rc = rc ? rc : posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    rc = rc ? rc : posix_spawnattr_setsigmask(&attr, &none);
    rc = rc ? rc : posix_spawnattr_setsigdefault(&attr, &all);
    rc = rc ? rc : posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    if (rc == 0) {
        char *argv[] = {const_cast<char *>(path.c_str()), const_cast<char *>(adapter), nullptr};
        char *envp[] = {nullptr};
        rc = posix_spawn(pid, path.c_str(), &actions, &attr, argv, envp);
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

// The helper's exit status, or -1 when it is not known (ended on a signal,
// or already reaped because the program ignores SIGCHLD); *signal tells.
int awaitExit(pid_t pid, int *signal)
{
    int status = 0;
    pid_t r;
    do
        r = ::waitpid(pid, &status, 0);
    while (r < 0 && errno == EINTR);
    *signal = r == pid && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return r == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

int socketFromHelper(const char *adapter, std::string *why)
{
    const std::string path = helperPath();
    const HelperStatus status = inspectHelper(path);
    if (!status.usable()) {
        *why = adviceFor(status).line();
        return -1;
    }
    int exit = 0;
    return askHelper(path, adapter, why, &exit);
}

int askHelper(const std::string &path, const char *adapter, std::string *why, int *exitStatus)
{
    *exitStatus = -1;
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair) != 0) {
        *why = std::string("cannot make a channel to the raw-socket helper: ") + std::strerror(errno);
        return -1;
    }
    pid_t pid = 0;
    const int rc = start(path, adapter, pair[1], &pid);
    ::close(pair[1]);
    if (rc != 0) {
        ::close(pair[0]);
        const HelperStatus now = inspectHelper(path);
        *why = now.usable() ? "cannot start the raw-socket helper " + path + ": " + std::strerror(rc)
                            : adviceFor(now).line();
        return -1;
    }
    std::string said;
    bool timedOut = false;
    int fd = receiveAnswer(pair[0], kAnswerMs, &said, &timedOut);
    ::close(pair[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int signal = 0;
    *exitStatus = awaitExit(pid, &signal);
    // What it handed over counts, whatever it did after.
    if (fd >= 0 && isPacketSocket(fd))
        return fd;
    if (fd >= 0) {
        ::close(fd);
        *why = "the raw-socket helper " + path + " handed over something other than a raw packet socket";
    } else if (timedOut)
        *why = "the raw-socket helper " + path + " did not answer within " + std::to_string(kAnswerMs / 1000) + " s";
    else if (!said.empty())
        *why = said;
    else if (signal != 0)
        *why = "the raw-socket helper " + path + " ended on signal " + std::to_string(signal);
    else
        *why = "the raw-socket helper " + path + " ended with status " + std::to_string(*exitStatus) + " and no socket";
    return -1;
}

} // namespace rawsocket
