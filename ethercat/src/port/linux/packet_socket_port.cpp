#include "packet_socket_port.h"

#include "adapter_check.h"
#include "clock.h"
#include "port/platform.h"

#include <rawsocket/helper.h>
#include <rawsocket/packet_socket.h>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

namespace ethercat {

PacketSocketPort *PacketSocketPort::open(const char *ifname, std::string *why)
{
    if (!checkEthernetAdapter(ifname, why))
        return nullptr;
    int err = 0;
    int fd = rawsocket::openPacketSocket(ifname, why, &err);
    if (fd < 0 && (err == EPERM || err == EACCES))
        fd = rawsocket::socketFromHelper(ifname, why);
    if (fd < 0)
        return nullptr;
    return new PacketSocketPort(fd);
}

PacketSocketPort::~PacketSocketPort()
{
    ::close(fd_);
}

bool PacketSocketPort::send(const uint8_t *frame, size_t len)
{
    ssize_t n;
    do
        n = ::send(fd_, frame, len, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(len);
}

// A frame that waits is taken at once; otherwise ppoll waits for one, with
// the time left in microseconds (poll would count whole milliseconds).
int PacketSocketPort::receive(uint8_t *buf, size_t capacity, int timeoutUs)
{
    const int64_t deadline = nowUs() + (timeoutUs > 0 ? timeoutUs : 0);
    for (;;) {
        const ssize_t n = ::recv(fd_, buf, capacity, MSG_DONTWAIT);
        if (n > 0)
            return int(n);
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return -1; // the adapter went down or away
        const int64_t left = deadline - nowUs();
        if (left <= 0)
            return 0;
        pollfd pfd{fd_, POLLIN, 0};
        timespec ts{};
        ts.tv_sec = time_t(left / 1000000);
        ts.tv_nsec = long(left % 1000000) * 1000;
        if (::ppoll(&pfd, 1, &ts, nullptr) < 0 && errno != EINTR)
            return -1;
        if (pfd.revents & POLLNVAL)
            return -1;
    }
}

Transport *openAdapter(const char *ifname, std::string *why)
{
    return PacketSocketPort::open(ifname, why);
}

} // namespace ethercat
