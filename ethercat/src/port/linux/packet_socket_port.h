// The frame transport over a real adapter on Linux: a raw AF_PACKET socket
// for EtherCAT frames, opened by this process when it may (root, or
// CAP_NET_RAW as the logging service has), else handed over by the
// raw-socket helper (rawsocket/).
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

    bool send(const uint8_t *frame, size_t len) override;
    int receive(uint8_t *buf, size_t capacity, int timeoutUs) override;

private:
    explicit PacketSocketPort(int fd) : fd_(fd) {}
    int fd_;
};

} // namespace ethercat

#endif
