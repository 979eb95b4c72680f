#include <rawsocket/packet_socket.h>

#include <ecwire/frame.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/if_packet.h>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rawsocket {

namespace {

constexpr int kMostQueued = 4096;

std::string failed(const char *what, int err)
{
    return std::string(what) + ": " + std::strerror(err);
}

// The interface ioctls answer on any socket of this network namespace; a
// datagram socket needs no privilege (AF_UNIX for kernels without IPv4).
int controlSocket()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd;
}

bool fill(ifreq *req, const char *name)
{
    const size_t n = std::strlen(name);
    if (n == 0 || n >= IFNAMSIZ)
        return false;
    std::memcpy(req->ifr_name, name, n);
    return true;
}

} // namespace

bool checkAdapter(const char *name, std::string *why)
{
    ifreq req{};
    if (!fill(&req, name)) {
        *why = "no such adapter";
        return false;
    }
    const int fd = controlSocket();
    if (fd < 0) {
        *why = failed("cannot ask the kernel about adapters", errno);
        return false;
    }
    bool ok = false;
    if (::ioctl(fd, SIOCGIFINDEX, &req) != 0)
        *why = errno == ENODEV ? std::string("no such adapter") : failed("cannot ask the kernel about the adapter", errno);
    else if (::ioctl(fd, SIOCGIFHWADDR, &req) != 0)
        *why = failed("cannot read the adapter's link type", errno);
    else if (req.ifr_hwaddr.sa_family != ARPHRD_ETHER)
        *why = "not an Ethernet adapter (link type " + std::to_string(req.ifr_hwaddr.sa_family) + ")";
    else if (::ioctl(fd, SIOCGIFFLAGS, &req) != 0)
        *why = failed("cannot read the adapter's flags", errno);
    else if (req.ifr_flags & IFF_LOOPBACK)
        *why = "a loopback adapter, not a bus";
    else
        ok = true;
    ::close(fd);
    return ok;
}

int packetSocket(int *err)
{
    const int fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ecwire::EtherTypeEcat));
    if (fd < 0)
        *err = errno;
    return fd;
}

bool bindToAdapter(int fd, const char *name, std::string *why, int *err)
{
    auto fail = [&](const char *what) {
        *err = errno;
        *why = failed(what, *err);
        return false;
    };
    const unsigned index = ::if_nametoindex(name);
    if (index == 0) {
        *err = ENODEV;
        *why = "no such adapter";
        return false;
    }
    // Before the bind, so that not one of our frames is read back.
    const int one = 1;
    if (::setsockopt(fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one) != 0)
        return fail("cannot keep the frames we send from being read back");
    sockaddr_ll at{};
    at.sll_family = AF_PACKET;
    at.sll_protocol = htons(ecwire::EtherTypeEcat);
    at.sll_ifindex = int(index);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&at), sizeof at) != 0)
        return fail("cannot bind to the adapter");
    packet_mreq promisc{};
    promisc.mr_ifindex = int(index);
    promisc.mr_type = PACKET_MR_PROMISC;
    if (::setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &promisc, sizeof promisc) != 0)
        return fail("cannot switch the adapter to promiscuous mode");
    // A bind to an adapter that is down succeeds and leaves the error pending.
    int pending = 0;
    socklen_t len = sizeof pending;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &pending, &len) != 0)
        return fail("cannot read the socket's state");
    if (pending != 0) {
        *err = pending;
        *why = pending == ENETDOWN ? std::string("the adapter is down") : failed("the adapter refused", pending);
        return false;
    }
    // Until the bind the socket took EtherCAT frames of every adapter: those
    // queued go (a bounded number, should a bus flood the adapter).
    char drop;
    for (int i = 0; i < kMostQueued && ::recv(fd, &drop, sizeof drop, MSG_DONTWAIT | MSG_TRUNC) >= 0; ++i) {
    }
    return true;
}

int openPacketSocket(const char *name, std::string *why, int *err)
{
    const int fd = packetSocket(err);
    if (fd < 0) {
        *why = failed("cannot open a raw socket", *err);
        return -1;
    }
    if (!bindToAdapter(fd, name, why, err)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace rawsocket
