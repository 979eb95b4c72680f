// A stand-in for Npcap's wpcap.dll, built as wpcap.dll beside the Windows
// test program so that the master's Windows port runs its real calls under
// Wine (whose own wpcap.dll lacks pcap_getevent), with no adapter and no
// driver. It lists the adapters of fake_wpcap.h. Behind FAKE_BUS_ADAPTER is
// the slave model with a pressure sensor, on a wire that hands its replies
// back at once or after a settable delay. As Npcap does, a handle signals
// its read event (manual reset) while a frame waits, and captures the frames
// it sent itself unless it was opened with PCAP_OPENFLAG_NOCAPTURE_LOCAL.
#include "fake_wpcap.h"

#include <ecsim/bus.h>

#include <pcap/pcap.h>

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct pcap {
    int flags = 0;
    int linkType = DLT_EN10MB;
    bool answered = false; // the slave model is on this wire
    HANDLE readEvent = nullptr;
    std::mutex mutex;
    std::deque<std::vector<uint8_t>> arrived;
    std::vector<uint8_t> current; // what pcap_next_ex handed out last
    pcap_pkthdr header{};
    std::vector<std::thread> onTheWay; // late replies
    char error[PCAP_ERRBUF_SIZE] = {};
};

namespace {

FakeWpcapState g_state{};
std::unique_ptr<ecsim::Bus> g_bus; // kept across opens, as a real bus is

struct Listed {
    const char *name;
    const char *desc;
    bpf_u_int32 flags;
};
constexpr Listed kAdapters[] = {
    {FAKE_BUS_ADAPTER, FAKE_BUS_DESC, PCAP_IF_UP | PCAP_IF_RUNNING},
    {FAKE_LOOPBACK_ADAPTER, "Adapter for loopback traffic capture", PCAP_IF_LOOPBACK | PCAP_IF_UP | PCAP_IF_RUNNING},
    {FAKE_SILENT_ADAPTER, FAKE_SILENT_DESC, PCAP_IF_UP},
    {FAKE_DENIED_ADAPTER, nullptr, PCAP_IF_UP | PCAP_IF_RUNNING},
    {FAKE_WIFI_ADAPTER, FAKE_WIFI_DESC, PCAP_IF_UP | PCAP_IF_RUNNING | PCAP_IF_WIRELESS},
};

ecsim::Bus &bus()
{
    if (!g_bus)
        g_bus = ecsim::Bus::create("sensor");
    return *g_bus;
}

char *copyOf(const char *s)
{
    return s ? _strdup(s) : nullptr;
}

void arrive(pcap *p, std::vector<uint8_t> frame)
{
    std::lock_guard<std::mutex> lock(p->mutex);
    p->arrived.push_back(std::move(frame));
    SetEvent(p->readEvent);
}

} // namespace

extern "C" {

int pcap_findalldevs(pcap_if_t **all, char *errbuf)
{
    *all = nullptr;
    if (g_state.failFindAllDevs) {
        std::strcpy(errbuf, FAKE_NO_DRIVER_ERROR);
        return -1;
    }
    pcap_if_t **tail = all;
    for (const Listed &l : kAdapters) {
        auto *d = static_cast<pcap_if_t *>(std::calloc(1, sizeof(pcap_if_t)));
        d->name = copyOf(l.name);
        d->description = copyOf(l.desc);
        d->flags = l.flags;
        *tail = d;
        tail = &d->next;
    }
    return 0;
}

void pcap_freealldevs(pcap_if_t *all)
{
    while (all) {
        pcap_if_t *next = all->next;
        std::free(all->name);
        std::free(all->description);
        std::free(all);
        all = next;
    }
}

pcap_t *pcap_open(const char *source, int snaplen, int flags, int read_timeout, pcap_rmtauth *, char *errbuf)
{
    ++g_state.openCalls;
    g_state.lastSnapLen = snaplen;
    g_state.lastFlags = flags;
    g_state.lastReadTimeoutMs = read_timeout;
    const std::string name = source ? source : "";
    if (name == FAKE_DENIED_ADAPTER) {
        std::strcpy(errbuf, FAKE_DENIED_ERROR);
        return nullptr;
    }
    if (name != FAKE_BUS_ADAPTER && name != FAKE_SILENT_ADAPTER && name != FAKE_WIFI_ADAPTER) {
        std::strcpy(errbuf, FAKE_NO_DEVICE_ERROR);
        return nullptr;
    }
    auto *p = new pcap;
    p->flags = flags;
    p->linkType = name == FAKE_WIFI_ADAPTER ? FAKE_WIFI_LINKTYPE : DLT_EN10MB;
    p->answered = name == FAKE_BUS_ADAPTER;
    p->readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ++g_state.opens;
    return p;
}

void pcap_close(pcap_t *p)
{
    for (std::thread &t : p->onTheWay)
        t.join();
    CloseHandle(p->readEvent);
    delete p;
    --g_state.opens;
}

int pcap_datalink(pcap_t *p)
{
    return p->linkType;
}

char *pcap_geterr(pcap_t *p)
{
    return p->error;
}

int pcap_compile(pcap_t *, bpf_program *prog, const char *filter, int, bpf_u_int32)
{
    std::strncpy(g_state.lastFilter, filter ? filter : "", sizeof g_state.lastFilter - 1);
    prog->bf_len = 0;
    prog->bf_insns = nullptr;
    return 0;
}

int pcap_setfilter(pcap_t *, bpf_program *)
{
    return 0;
}

void pcap_freecode(bpf_program *)
{
}

int pcap_setnonblock(pcap_t *, int nonblock, char *)
{
    g_state.nonBlocking = nonblock;
    return 0;
}

HANDLE pcap_getevent(pcap_t *p)
{
    ++g_state.eventsHandedOut;
    return p->readEvent;
}

int pcap_sendpacket(pcap_t *p, const u_char *buf, int size)
{
    ++g_state.framesSent;
    std::vector<uint8_t> frame(buf, buf + size);
    if (!(p->flags & PCAP_OPENFLAG_NOCAPTURE_LOCAL)) {
        ++g_state.ownFramesCaptured;
        arrive(p, frame);
    }
    std::vector<uint8_t> reply;
    if (!p->answered || !bus().handleFrame(frame.data(), frame.size(), reply))
        return 0;
    const int delayUs = g_state.replyDelayUs;
    if (delayUs <= 0) {
        arrive(p, std::move(reply));
    } else {
        p->onTheWay.emplace_back([p, delayUs, reply]() mutable {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            arrive(p, std::move(reply));
        });
    }
    return 0;
}

int pcap_next_ex(pcap_t *p, pcap_pkthdr **header, const u_char **data)
{
    std::lock_guard<std::mutex> lock(p->mutex);
    if (p->arrived.empty()) {
        ResetEvent(p->readEvent);
        return 0;
    }
    p->current = std::move(p->arrived.front());
    p->arrived.pop_front();
    if (p->arrived.empty())
        ResetEvent(p->readEvent);
    p->header = pcap_pkthdr{};
    p->header.caplen = p->header.len = bpf_u_int32(p->current.size());
    *header = &p->header;
    *data = p->current.data();
    return 1;
}

FakeWpcapState *fake_wpcap_state()
{
    return &g_state;
}

int fake_wpcap_command(const char *line)
{
    return bus().command(line) == "ok" ? 1 : 0;
}

} // extern "C"
