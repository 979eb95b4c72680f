// The frame transport over a real adapter on Linux: a raw AF_PACKET socket
// for EtherCAT frames, opened by this process when it may (root, or
// CAP_NET_RAW as the logging service has), else handed over by the
// raw-socket helper (rawsocket/). Frames are received through a ring the
// kernel fills in memory shared with us (PACKET_RX_RING, TPACKET_V2): a wait
// for a frame is one ppoll, and taking it no system call at all.
#ifndef ETHERCAT_PACKET_SOCKET_PORT_H
#define ETHERCAT_PACKET_SOCKET_PORT_H

#include <ethercat/transport.h>

#include <string>

namespace ethercat {

class PacketSocketPort : public Transport {
public:
    // Opens `ifname` for EtherCAT frames. Returns null and sets *why to one
    // readable sentence (what failed and what to do) when it cannot.
    static PacketSocketPort *open(const char *ifname, std::string *why);
    ~PacketSocketPort() override;
    PacketSocketPort(const PacketSocketPort &) = delete;
    PacketSocketPort &operator=(const PacketSocketPort &) = delete;

    bool send(const uint8_t *frame, size_t len) override;
    int receive(uint8_t *buf, size_t capacity, int timeoutUs) override;

private:
    PacketSocketPort(int fd, uint8_t *ring) : fd_(fd), ring_(ring) {}
    // The frame in the ring's next slot, copied out and the slot given back
    // to the kernel: its length, or -1 when the kernel has not filled it.
    int takeFrame(uint8_t *buf, size_t capacity);

    int fd_;
    uint8_t *ring_;
    unsigned slot_ = 0;
};

} // namespace ethercat

#endif
