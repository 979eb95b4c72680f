// bench-master-reflector: sends every EtherCAT frame it receives on one
// interface straight back with the returned-frame mark set. The baseline
// for the master's figures when the simulator's bare reflector is absent.
#include <pcap/pcap.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <vector>

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) { stopRequested = 1; }
constexpr size_t kSourceAt = 6;
constexpr unsigned char kReturnedBit = 0x02;
} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--iface") != 0) {
        std::fprintf(stderr, "usage: %s --iface IF\n", argv[0]);
        return 2;
    }
    char err[PCAP_ERRBUF_SIZE] = {};
    pcap_t *h = pcap_create(argv[2], err);
    bpf_program prog{};
    if (!h || pcap_set_immediate_mode(h, 1) != 0 || pcap_activate(h) < 0 || pcap_setdirection(h, PCAP_D_IN) != 0
        || pcap_compile(h, &prog, "ether proto 0x88a4", 1, PCAP_NETMASK_UNKNOWN) != 0
        || pcap_setfilter(h, &prog) != 0 || pcap_setnonblock(h, 1, err) != 0) {
        std::fprintf(stderr, "reflector: cannot open %s: %s\n", argv[2], h ? pcap_geterr(h) : err);
        return 1;
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::printf("ready\n");
    std::fflush(stdout);
    std::vector<unsigned char> reply;
    const int fd = pcap_get_selectable_fd(h);
    while (!stopRequested) {
        pcap_pkthdr *hdr = nullptr;
        const u_char *data = nullptr;
        const int rc = pcap_next_ex(h, &hdr, &data);
        if (rc == 1 && hdr->caplen > kSourceAt) {
            reply.assign(data, data + hdr->caplen);
            reply[kSourceAt] |= kReturnedBit;
            pcap_sendpacket(h, reply.data(), int(reply.size()));
            continue;
        }
        if (rc < 0)
            break;
        pollfd p{fd, POLLIN, 0};
        poll(&p, 1, 100);
    }
    pcap_close(h);
    return 0;
}
