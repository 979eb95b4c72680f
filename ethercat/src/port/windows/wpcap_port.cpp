#include "port/windows/wpcap_port.h"

#include "adapter_check.h"
#include "clock.h"
#include "port/pcap_common.h"
#include "port/platform.h"

namespace ethercat {

namespace {

constexpr int kSnapLen = 65536;
// Promiscuous. The frames this handle sends are not captured by it: Npcap's
// driver drops them (PCAP_OPENFLAG_NOCAPTURE_LOCAL, "supported only on
// Windows", pcap/pcap.h), as pcap_setdirection(PCAP_D_IN) keeps them out on
// Linux; else the master would read its own frames as replies. Every frame
// is handed over as soon as it arrives (the same as immediate mode).
constexpr int kOpenFlags =
    PCAP_OPENFLAG_PROMISCUOUS | PCAP_OPENFLAG_NOCAPTURE_LOCAL | PCAP_OPENFLAG_MAX_RESPONSIVENESS;
// Reads do not block (pcap_setnonblock below); waits are on the read event.
constexpr int kReadTimeoutMs = 1;
constexpr const char *kFilter = "ether proto 0x88a4";

const char *kOpenHint = "check that Npcap is installed and its driver running; when Npcap was installed to "
                        "restrict access to administrators, run the program as administrator";

} // namespace

WpcapPort *WpcapPort::open(const char *ifname, std::string *why)
{
    if (!checkEthernetAdapter(ifname, why))
        return nullptr;
    const wpcap::Api *api = wpcap::api(why);
    if (!api)
        return nullptr;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t *h = api->open(ifname, kSnapLen, kOpenFlags, kReadTimeoutMs, nullptr, errbuf);
    if (!h) {
        *why = std::string(errbuf[0] ? errbuf : "pcap_open failed") + " (" + kOpenHint + ")";
        return nullptr;
    }
    auto fail = [&](const std::string &reason) {
        *why = reason;
        api->close(h);
        return nullptr;
    };
    const int link = api->datalink(h);
    if (link != DLT_EN10MB)
        return fail("not an Ethernet adapter (link type " + std::to_string(link) + ")");
    bpf_program prog{};
    if (api->compile(h, &prog, kFilter, 1, PCAP_NETMASK_UNKNOWN) != 0)
        return fail(std::string("cannot compile the EtherCAT frame filter: ") + api->geterr(h));
    const bool filtered = api->setfilter(h, &prog) == 0;
    api->freecode(&prog);
    if (!filtered)
        return fail(std::string("cannot install the EtherCAT frame filter: ") + api->geterr(h));
    if (api->setnonblock(h, 1, errbuf) != 0)
        return fail(std::string("cannot switch to non-blocking reads: ") + errbuf);
    HANDLE event = api->getevent(h);
    if (!event)
        return fail("the adapter offers no event to wait on");
    auto *port = new WpcapPort(api, h, event);
    if (!port->timer_.valid()) {
        delete port;
        *why = "cannot create a wait timer";
        return nullptr;
    }
    return port;
}

WpcapPort::~WpcapPort()
{
    api_->close(handle_);
}

bool WpcapPort::send(const uint8_t *frame, size_t len)
{
    return api_->sendpacket(handle_, frame, int(len)) == 0;
}

int WpcapPort::receive(uint8_t *buf, size_t capacity, int timeoutUs)
{
    // Frames read from the driver in one go wait in wpcap's buffer and do
    // not signal the event again: receiveFrame takes those before it waits.
    auto nextEx = [this](pcap_pkthdr **hdr, const u_char **data) { return api_->next_ex(handle_, hdr, data); };
    auto wait = [this](int64_t leftUs) {
        if (!timer_.arm(leftUs))
            return false;
        HANDLE waitOn[2] = {readEvent_, timer_.handle()};
        return WaitForMultipleObjects(2, waitOn, FALSE, boundMs(leftUs)) != WAIT_FAILED;
    };
    return receiveFrame(buf, capacity, timeoutUs, nextEx, wait);
}

Transport *openAdapter(const char *ifname, std::string *why)
{
    return WpcapPort::open(ifname, why);
}

} // namespace ethercat
