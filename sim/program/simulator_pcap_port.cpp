#include "simulator_pcap_port.h"

#include <pcap/pcap.h>

namespace ecsim {

namespace {

// Room for the largest Ethernet frame and then some, so an oversized frame shows as
// captured-shorter-than-sent instead of being silently accepted.
constexpr int kSnapLen = 2048;
constexpr const char *kFilter = "ether proto 0x88a4";

std::string activateError(pcap_t *p, int rc, const std::string &iface)
{
    const std::string prefix = "cannot open interface '" + iface + "': ";
    switch (rc) {
    case PCAP_ERROR_NO_SUCH_DEVICE:
        return prefix + "no such interface";
    case PCAP_ERROR_PERM_DENIED:
        return prefix + "permission denied (raw frames need root or CAP_NET_RAW)";
    case PCAP_ERROR_IFACE_NOT_UP:
        return prefix + "the interface is down";
    default:
        return prefix + pcap_geterr(p);
    }
}

}  // namespace

SimulatorPcapPort::~SimulatorPcapPort()
{
    if (pcap_)
        pcap_close(pcap_);
}

bool SimulatorPcapPort::open(const std::string &iface, std::string &error)
{
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t *p = pcap_create(iface.c_str(), errbuf);
    if (!p) {
        error = "cannot open interface '" + iface + "': " + errbuf;
        return false;
    }
    auto fail = [&](const std::string &what) {
        error = what;
        pcap_close(p);
        return false;
    };
    if (pcap_set_snaplen(p, kSnapLen) != 0 || pcap_set_immediate_mode(p, 1) != 0 ||
        pcap_set_promisc(p, 1) != 0)
        return fail("cannot configure capture on '" + iface + "': " + pcap_geterr(p));
    const int rc = pcap_activate(p);
    if (rc < 0)
        return fail(activateError(p, rc, iface));
    if (pcap_datalink(p) != DLT_EN10MB)
        return fail("interface '" + iface + "' is not an Ethernet interface");
    if (pcap_setdirection(p, PCAP_D_IN) != 0)
        return fail("cannot restrict capture on '" + iface + "' to inbound frames: " +
                    pcap_geterr(p));
    bpf_program prog{};
    if (pcap_compile(p, &prog, kFilter, 1, PCAP_NETMASK_UNKNOWN) != 0)
        return fail("cannot compile the capture filter: " + std::string(pcap_geterr(p)));
    const int frc = pcap_setfilter(p, &prog);
    pcap_freecode(&prog);
    if (frc != 0)
        return fail("cannot set the capture filter on '" + iface + "': " + pcap_geterr(p));
    if (pcap_setnonblock(p, 1, errbuf) != 0)
        return fail("cannot make capture on '" + iface + "' non-blocking: " + errbuf);
    const int fd = pcap_get_selectable_fd(p);
    if (fd < 0)
        return fail("interface '" + iface + "' offers no descriptor to wait on");
    pcap_ = p;
    fd_ = fd;
    return true;
}

namespace {

void onPacket(u_char *user, const pcap_pkthdr *h, const u_char *bytes)
{
    const auto &handler = *reinterpret_cast<const SimulatorPcapPort::FrameHandler *>(user);
    handler(bytes, h->caplen, h->len);
}

}  // namespace

int SimulatorPcapPort::dispatch(const FrameHandler &handler)
{
    if (!pcap_)
        return -1;
    // -1 as count: everything in the current buffer, returning 0 when nothing waits.
    const int n = pcap_dispatch(pcap_, -1, onPacket,
                                reinterpret_cast<u_char *>(const_cast<FrameHandler *>(&handler)));
    return n < 0 ? -1 : n;
}

bool SimulatorPcapPort::send(const uint8_t *data, size_t len)
{
    return pcap_ && pcap_inject(pcap_, data, len) == static_cast<int>(len);
}

std::string SimulatorPcapPort::lastError() const { return pcap_ ? pcap_geterr(pcap_) : "not open"; }

}  // namespace ecsim
