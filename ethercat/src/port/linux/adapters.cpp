// Adapters on Linux: libpcap lists them, the kernel says what each one is.
//
// The kind of an adapter is asked of the kernel through an ioctl on a socket,
// which answers for the network namespace the process lives in. /sys/class/net
// would answer for the namespace that mounted /sys, which in a container (or
// after `unshare -n` without a new sysfs mount) is another one: adapters of
// our own namespace would be missing there, and foreign ones present.
#include "port/pcap_common.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <net/if.h>
#include <net/if_arp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ethercat {

namespace {

// Any socket will do for the interface ioctls; a datagram socket needs no
// privilege. AF_UNIX is there for kernels without IPv4.
int controlSocket()
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    return fd;
}

} // namespace

bool checkAdapterKind(const char *ifname, std::string *why)
{
    // Longer names cannot name an interface (the kernel's limit).
    if (std::strlen(ifname) >= IFNAMSIZ) {
        *why = "no such adapter";
        return false;
    }
    const int fd = controlSocket();
    if (fd < 0) {
        *why = std::string("cannot ask the kernel about adapters: ") + std::strerror(errno);
        return false;
    }
    ifreq ifr{};
    std::memcpy(ifr.ifr_name, ifname, std::strlen(ifname));
    bool ok = false;
    if (::ioctl(fd, SIOCGIFINDEX, &ifr) != 0) {
        *why = errno == ENODEV ? std::string("no such adapter")
                               : std::string("cannot ask the kernel about the adapter: ") + std::strerror(errno);
    } else if (::ioctl(fd, SIOCGIFHWADDR, &ifr) != 0) {
        *why = std::string("cannot read the adapter's link type: ") + std::strerror(errno);
    } else if (ifr.ifr_hwaddr.sa_family != ARPHRD_ETHER) {
        *why = "not an Ethernet adapter (link type " + std::to_string(ifr.ifr_hwaddr.sa_family) + ")";
    } else {
        ok = true;
    }
    ::close(fd);
    return ok;
}

bool listAdapters(std::vector<AdapterEntry> *out, std::string *why)
{
    out->clear();
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t *all = nullptr;
    if (pcap_findalldevs(&all, errbuf) != 0) {
        *why = errbuf[0] ? errbuf : "pcap_findalldevs failed";
        return false;
    }
    // Linux adapters have no description: the name stands for it.
    *out = ethernetAdapters(all);
    pcap_freealldevs(all);
    // libpcap's order follows the kernel's and may change between calls:
    // sorted, the list stays put.
    std::sort(out->begin(), out->end(),
              [](const AdapterEntry &a, const AdapterEntry &b) { return a.name < b.name; });
    return true;
}

} // namespace ethercat
