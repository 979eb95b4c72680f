#include "raw_roundtrip.h"

#include <ecwire/frame.h>

#include <pcap/pcap.h>

#include <poll.h>
#include <time.h>

namespace {

int64_t nowNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

} // namespace

RawRoundTrip::~RawRoundTrip()
{
    close();
}

void RawRoundTrip::close()
{
    if (h_)
        pcap_close(h_);
    h_ = nullptr;
}

bool RawRoundTrip::open(const char *ifname, std::string *why)
{
    char err[PCAP_ERRBUF_SIZE] = {};
    h_ = pcap_create(ifname, err);
    if (!h_) {
        *why = err;
        return false;
    }
    pcap_set_snaplen(h_, 2048);
    pcap_set_immediate_mode(h_, 1);
    bpf_program prog{};
    if (pcap_activate(h_) < 0 || pcap_setdirection(h_, PCAP_D_IN) != 0
        || pcap_compile(h_, &prog, "ether proto 0x88a4", 1, PCAP_NETMASK_UNKNOWN) != 0
        || pcap_setfilter(h_, &prog) != 0 || pcap_setnonblock(h_, 1, err) != 0) {
        *why = pcap_geterr(h_);
        pcap_freecode(&prog);
        close();
        return false;
    }
    pcap_freecode(&prog);
    fd_ = pcap_get_selectable_fd(h_);
    return true;
}

int64_t RawRoundTrip::once(const std::vector<uint8_t> &frame, int timeoutUs)
{
    const int64_t start = nowNs();
    if (pcap_sendpacket(h_, frame.data(), int(frame.size())) != 0)
        return -1;
    const int64_t deadline = start + int64_t(timeoutUs) * 1000;
    for (;;) {
        pcap_pkthdr *hdr = nullptr;
        const u_char *data = nullptr;
        if (pcap_next_ex(h_, &hdr, &data) == 1) {
            const size_t indexAt = ecwire::ecat::FirstDatagram + ecwire::dgram::Index;
            if (hdr->caplen > indexAt && (data[ecwire::eth::Source] & ecwire::eth::SourceReturnedBit)
                && data[indexAt] == kBareIndex)
                return nowNs() - start;
            continue;
        }
        const int64_t left = deadline - nowNs();
        if (left <= 0)
            return -1;
        pollfd p{fd_, POLLIN, 0};
        timespec ts{time_t(left / 1000000000), long(left % 1000000000)};
        ppoll(&p, 1, &ts, nullptr);
    }
}

void RawRoundTrip::drain()
{
    pcap_pkthdr *hdr = nullptr;
    const u_char *data = nullptr;
    while (pcap_next_ex(h_, &hdr, &data) == 1) {
    }
}

std::vector<uint8_t> lrwFrame(uint16_t length)
{
    const uint8_t dst[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t src[6] = {0x00, 0x42, 0x41, 0x52, 0x45, 0x00};
    ecwire::FrameBuilder b(dst, src);
    b.add(ecwire::Command::LRW, kBareIndex, 0, nullptr, length);
    return b.finish();
}
