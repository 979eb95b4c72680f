// The bare round trip: one EtherCAT frame out through libpcap and the
// first frame back, with nothing of the master in between.
#ifndef BENCH_MASTER_RAW_ROUNDTRIP_H
#define BENCH_MASTER_RAW_ROUNDTRIP_H

#include <cstdint>
#include <string>
#include <vector>

struct pcap;

class RawRoundTrip {
public:
    ~RawRoundTrip();
    bool open(const char *ifname, std::string *why);
    // Sends `frame` and waits up to timeoutUs for a returned frame. Returns
    // the round trip in nanoseconds, or -1 when nothing came back.
    int64_t once(const std::vector<uint8_t> &frame, int timeoutUs);
    void close();
    // Discards whatever frames are waiting.
    void drain();

private:
    struct pcap *h_ = nullptr;
    int fd_ = -1;
};

// One LRW of `length` bytes at logical address 0, as a master would send
// it, with the datagram index the bare round trip waits for.
std::vector<uint8_t> lrwFrame(uint16_t length);
constexpr uint8_t kBareIndex = 0x55;

#endif
