#include "raw_client.h"

#include <poll.h>
#include <pcap/pcap.h>

#include <ecwire/frame.h>
#include <ecwire/registers.h>

namespace bench {

RawClient::~RawClient()
{
    if (pcap_)
        pcap_close(pcap_);
}

bool RawClient::open(const std::string &iface, std::string &error)
{
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_t *p = pcap_create(iface.c_str(), errbuf);
    if (!p) {
        error = "cannot open '" + iface + "': " + errbuf;
        return false;
    }
    auto fail = [&](const std::string &what) {
        error = "'" + iface + "': " + what + ": " + pcap_geterr(p);
        pcap_close(p);
        return false;
    };
    if (pcap_set_snaplen(p, 2048) != 0 || pcap_set_immediate_mode(p, 1) != 0 ||
        pcap_set_promisc(p, 1) != 0)
        return fail("cannot configure capture");
    if (pcap_activate(p) < 0)
        return fail("cannot activate capture");
    if (pcap_setdirection(p, PCAP_D_IN) != 0)
        return fail("cannot capture inbound only");
    bpf_program prog{};
    if (pcap_compile(p, &prog, "ether proto 0x88a4", 1, PCAP_NETMASK_UNKNOWN) != 0)
        return fail("cannot compile the filter");
    const int rc = pcap_setfilter(p, &prog);
    pcap_freecode(&prog);
    if (rc != 0)
        return fail("cannot set the filter");
    if (pcap_setnonblock(p, 1, errbuf) != 0)
        return fail("cannot make capture non-blocking");
    fd_ = pcap_get_selectable_fd(p);
    if (fd_ < 0)
        return fail("no descriptor to wait on");
    pcap_ = p;
    return true;
}

bool RawClient::send(const uint8_t *frame, size_t len)
{
    if (!pcap_)
        return false;
    if (pcap_inject(pcap_, frame, len) != static_cast<int>(len)) {
        error_ = pcap_geterr(pcap_);
        return false;
    }
    return true;
}

bool RawClient::next(std::vector<uint8_t> &frame)
{
    pcap_pkthdr *h = nullptr;
    const u_char *data = nullptr;
    if (pcap_next_ex(pcap_, &h, &data) != 1)
        return false;
    frame.assign(data, data + h->caplen);
    return true;
}

bool RawClient::receive(std::vector<uint8_t> &frame, int64_t timeoutUs)
{
    if (!pcap_)
        return false;
    const int64_t deadline = nowNs() + timeoutUs * 1000;
    for (;;) {
        if (next(frame))
            return true;
        const int64_t left = deadline - nowNs();
        if (left <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        const timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        ::ppoll(&p, 1, &ts, nullptr);
    }
}

int64_t RawClient::roundTrip(const std::vector<uint8_t> &frame, std::vector<uint8_t> &reply,
                             int64_t timeoutUs)
{
    drain();
    const int64_t start = nowNs();
    if (!send(frame))
        return -1;
    const int64_t deadline = start + timeoutUs * 1000;
    for (;;) {
        const int64_t left = deadline - nowNs();
        if (left <= 0 || !receive(reply, (left + 999) / 1000))
            return -1;
        // The capture sees inbound frames only, and what waited was drained: the first frame
        // is the reply, with or without the returned-frame mark (not every slave sets it).
        if (!reply.empty())
            return nowNs() - start;
    }
}

void RawClient::roundTrips(const std::vector<uint8_t> &frame, size_t count, size_t warmup, Samples &into,
                           int64_t timeoutUs)
{
    std::vector<uint8_t> reply;
    for (size_t i = 0; i < warmup + count; ++i) {
        const int64_t ns = roundTrip(frame, reply, timeoutUs);
        if (i >= warmup)
            into.add(ns);
    }
}

size_t RawClient::drain()
{
    size_t n = 0;
    std::vector<uint8_t> scratch;
    while (pcap_ && next(scratch))
        ++n;
    return n;
}

std::vector<uint8_t> lrwFrame(uint16_t length, uint8_t index)
{
    ecwire::FrameBuilder b;
    b.add(ecwire::Command::LRW, index, 0, nullptr, length);
    return b.finish();
}

std::vector<uint8_t> brdFrame(uint8_t index)
{
    ecwire::FrameBuilder b;
    b.add(ecwire::Command::BRD, index, ecwire::makeAddress(0, ecwire::reg::Type), nullptr, 2);
    return b.finish();
}

}  // namespace bench
