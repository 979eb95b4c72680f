#include "helper_protocol.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rawsocket {

namespace {

// The largest message either side sends: one line of text.
constexpr size_t kMessageBytes = 1024;

int64_t nowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// The descriptors a message carried: the first is kept, any others closed.
int takeDescriptors(msghdr *msg)
{
    int kept = -1;
    for (cmsghdr *c = CMSG_FIRSTHDR(msg); c; c = CMSG_NXTHDR(msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
            if (kept < 0)
                kept = fd;
            else
                ::close(fd);
        }
    }
    return kept;
}

} // namespace

bool sendSocket(int channel, int fd)
{
    iovec data{const_cast<char *>(kHandedOver), sizeof kHandedOver - 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr msg{};
    msg.msg_iov = &data;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    cmsghdr *c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_SOCKET;
    c->cmsg_type = SCM_RIGHTS;
    c->cmsg_len = CMSG_LEN(sizeof(int));
    std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    ssize_t n;
    do
        n = ::sendmsg(channel, &msg, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(data.iov_len);
}

int receiveAnswer(int channel, int timeoutMs, std::string *text, bool *timedOut)
{
    *timedOut = false;
    text->clear();
    int socketFd = -1;
    const int64_t deadline = nowMs() + timeoutMs;
    for (;;) {
        const int64_t left = deadline - nowMs();
        pollfd p{channel, POLLIN, 0};
        const int ready = left > 0 ? ::poll(&p, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            *timedOut = ready == 0;
            break;
        }
        char buf[kMessageBytes];
        iovec data{buf, sizeof buf};
        alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
        msghdr msg{};
        msg.msg_iov = &data;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(channel, &msg, MSG_CMSG_CLOEXEC);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the helper closed its end, or the channel failed
        const int fd = takeDescriptors(&msg);
        std::string said(buf, size_t(n));
        if (fd >= 0 && socketFd < 0 && said == kHandedOver) {
            socketFd = fd;
            continue;
        }
        if (fd >= 0)
            ::close(fd);
        // One line for the caller to print: no line breaks, no control characters.
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r'))
            said.pop_back();
        for (char &ch : said)
            if (ch >= 0 && (ch < ' ' || ch == 0x7f))
                ch = '?';
        if (!said.empty())
            text->append(text->empty() ? "" : "; ").append(said);
    }
    return socketFd;
}

} // namespace rawsocket
