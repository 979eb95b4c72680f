#include "control_socket.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace ecsim {

namespace {

bool fillAddress(const std::string &path, sockaddr_un &addr, std::string &error)
{
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof addr.sun_path) {
        error = "control socket path '" + path + "' is empty or longer than " +
                std::to_string(sizeof addr.sun_path - 1) + " bytes";
        return false;
    }
    std::memcpy(addr.sun_path, path.data(), path.size());
    return true;
}

// Whether the process at the other end of `fd` runs as our own user or as
// root (SO_PEERCRED: its credentials when it connected). The socket file's
// mode already keeps others out; this holds even when a folder or a chmod
// lets them reach it.
bool peerIsTrusted(int fd, uid_t &peerUid)
{
    ucred cred{};
    socklen_t size = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof cred)
        return false;
    peerUid = cred.uid;
    return cred.uid == ::geteuid() || cred.uid == 0;
}

// Answers `line` to a client about to be cut off; what it sent is not read.
void refuse(int fd, const std::string &line)
{
    (void)!::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
    ::close(fd);
}

// True when a program is accepting connections at `addr`.
bool inUse(const sockaddr_un &addr)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool used = ::connect(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    ::close(fd);
    return used;
}

}  // namespace

ControlSocket::~ControlSocket()
{
    for (auto &c : clients_)
        ::close(c->fd);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(path_.c_str());
    }
}

bool ControlSocket::listen(const std::string &path, std::string &error)
{
    sockaddr_un addr;
    if (!fillAddress(path, addr, error))
        return false;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode)) {
            error = "control socket path '" + path + "' exists and is not a socket";
            return false;
        }
        if (inUse(addr)) {
            error = "control socket '" + path + "' is in use by another program";
            return false;
        }
        ::unlink(path.c_str());
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = std::string("cannot create the control socket: ") + std::strerror(errno);
        return false;
    }
    // The socket file is made 0600 whatever the caller's umask: connecting
    // takes write permission on it, so only its owner (and root) can.
    const mode_t oldMask = ::umask(0177);
    const bool bound = ::bind(fd, reinterpret_cast<const sockaddr *>(&addr), sizeof addr) == 0;
    const int bindErrno = errno;
    ::umask(oldMask);
    if (!bound || ::listen(fd, 8) != 0) {
        error = "cannot listen on control socket '" + path + "': " + std::strerror(bound ? errno : bindErrno);
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    path_ = path;
    return true;
}

void ControlSocket::addPollFds(std::vector<pollfd> &fds)
{
    pollStart_ = fds.size();
    polledClients_ = clients_.size();
    if (listenFd_ < 0)
        return;
    fds.push_back({listenFd_, POLLIN, 0});
    for (auto &c : clients_)
        fds.push_back({c->fd, static_cast<short>(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});
}

void ControlSocket::accept()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;  // EAGAIN: no more waiting; other errors: try again on the next event
        uid_t peer = uid_t(-1);
        if (!peerIsTrusted(fd, peer)) {
            refuse(fd, "error: the control socket takes commands only from user " +
                           std::to_string(::geteuid()) + " and root, not from user " +
                           (peer == uid_t(-1) ? std::string("unknown") : std::to_string(peer)) + "\n");
            continue;
        }
        if (clients_.size() >= kMaxClients) {
            refuse(fd, "error: too many control clients\n");
            continue;
        }
        auto c = std::make_unique<Client>();
        c->fd = fd;
        clients_.push_back(std::move(c));
    }
}

void ControlSocket::queue(Client &c, const std::string &answer)
{
    if (answer.empty())
        return;
    c.out += answer;
    c.out += '\n';
}

bool ControlSocket::flush(Client &c)
{
    while (!c.out.empty()) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            if (errno == EINTR)
                continue;
            return false;
        }
        c.out.erase(0, static_cast<size_t>(n));
    }
    // A client that sends commands but never reads the answers is cut off.
    return c.out.size() <= kMaxPendingOutput;
}

void ControlSocket::handleEvents(const std::vector<pollfd> &fds,
                                 const std::function<std::string(const std::string &)> &execute)
{
    if (listenFd_ < 0 || pollStart_ >= fds.size())
        return;
    std::vector<bool> gone(clients_.size(), false);
    for (size_t i = 0; i < polledClients_ && i < clients_.size(); ++i) {
        const pollfd &p = fds[pollStart_ + 1 + i];
        Client &c = *clients_[i];
        if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
            char buf[4096];
            const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
            if (n > 0) {
                for (const auto &line : c.reader.feed(buf, static_cast<size_t>(n)))
                    queue(c, line.tooLong ? "error: line longer than " +
                                                std::to_string(LineReader::kMaxLine) + " bytes"
                                          : execute(line.text));
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                for (const auto &line : c.reader.finish())
                    queue(c, execute(line.text));
                (void)flush(c);
                gone[i] = true;
                continue;
            }
        }
        if (!flush(c))
            gone[i] = true;
    }
    for (size_t i = gone.size(); i-- > 0;) {
        if (gone[i]) {
            ::close(clients_[i]->fd);
            clients_.erase(clients_.begin() + static_cast<long>(i));
        }
    }
    if (fds[pollStart_].revents & POLLIN)
        accept();
}

}  // namespace ecsim
