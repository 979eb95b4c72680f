#include "master_pcap_port.h"

#include "adapter_check.h"
#include "clock.h"
#include "port/pcap_common.h"
#include "port/platform.h"

#include <pcap/pcap.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

namespace ethercat {

namespace {

constexpr int kSnapLen = 2048;          // larger than any EtherCAT frame
constexpr const char *kFilter = "ether proto 0x88a4";

// The running program, for the setcap hint.
std::string ownBinary()
{
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "<binary>";
    path[n] = '\0';
    return path;
}

std::string permissionHint()
{
    return "raw EtherCAT frames need the CAP_NET_RAW capability: run as root or grant it "
           "with `sudo setcap cap_net_raw,cap_net_admin+ep "
        + ownBinary() + "`";
}

std::string describeActivateError(pcap_t *h, int rc)
{
    switch (rc) {
    case PCAP_ERROR_NO_SUCH_DEVICE:
        return "no such adapter";
    case PCAP_ERROR_PERM_DENIED:
        return "permission denied; " + permissionHint();
    case PCAP_ERROR_IFACE_NOT_UP:
        return "the adapter is down";
    default:
        break;
    }
    const char *msg = pcap_geterr(h);
    return msg && *msg ? std::string(msg) : std::string(pcap_statustostr(rc));
}

} // namespace

MasterPcapPort *MasterPcapPort::open(const char *ifname, std::string *why)
{
    std::string reason;
    if (!checkEthernetAdapter(ifname, &reason)) {
        *why = reason;
        return nullptr;
    }
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t *h = pcap_create(ifname, errbuf);
    if (!h) {
        *why = errbuf[0] ? errbuf : "cannot create a capture handle";
        return nullptr;
    }
    pcap_set_snaplen(h, kSnapLen);
    pcap_set_promisc(h, 1);
    pcap_set_immediate_mode(h, 1);
    pcap_set_timeout(h, 1);
    int rc = pcap_activate(h);
    if (rc < 0) {
        *why = describeActivateError(h, rc);
        pcap_close(h);
        return nullptr;
    }
    if (pcap_datalink(h) != DLT_EN10MB) {
        *why = "not an Ethernet adapter";
        pcap_close(h);
        return nullptr;
    }
    // Inbound only: otherwise every frame we send would be read back.
    if (pcap_setdirection(h, PCAP_D_IN) != 0) {
        *why = std::string("cannot restrict capture to received frames: ") + pcap_geterr(h);
        pcap_close(h);
        return nullptr;
    }
    bpf_program prog{};
    if (pcap_compile(h, &prog, kFilter, 1, PCAP_NETMASK_UNKNOWN) != 0
        || pcap_setfilter(h, &prog) != 0) {
        *why = std::string("cannot install the EtherCAT frame filter: ") + pcap_geterr(h);
        pcap_freecode(&prog);
        pcap_close(h);
        return nullptr;
    }
    pcap_freecode(&prog);
    if (pcap_setnonblock(h, 1, errbuf) != 0) {
        *why = std::string("cannot switch to non-blocking reads: ") + errbuf;
        pcap_close(h);
        return nullptr;
    }
    int fd = pcap_get_selectable_fd(h);
    if (fd < 0) {
        *why = "the adapter offers no descriptor to wait on";
        pcap_close(h);
        return nullptr;
    }
    return new MasterPcapPort(h, fd);
}

MasterPcapPort::~MasterPcapPort()
{
    pcap_close(handle_);
}

bool MasterPcapPort::send(const uint8_t *frame, size_t len)
{
    return pcap_sendpacket(handle_, frame, int(len)) == 0;
}

int MasterPcapPort::receive(uint8_t *buf, size_t capacity, int timeoutUs)
{
    auto nextEx = [this](pcap_pkthdr **hdr, const u_char **data) { return pcap_next_ex(handle_, hdr, data); };
    auto wait = [this](int64_t leftUs) {
        pollfd pfd{fd_, POLLIN, 0};
        timespec ts{};
        ts.tv_sec = time_t(leftUs / 1000000);
        ts.tv_nsec = long(leftUs % 1000000) * 1000;
        const int pr = ppoll(&pfd, 1, &ts, nullptr);
        if (pr < 0 && errno != EINTR)
            return false;
        return !(pr > 0 && (pfd.revents & (POLLERR | POLLNVAL)));
    };
    return receiveFrame(buf, capacity, timeoutUs, nextEx, wait);
}

Transport *openAdapter(const char *ifname, std::string *why)
{
    return MasterPcapPort::open(ifname, why);
}

} // namespace ethercat
