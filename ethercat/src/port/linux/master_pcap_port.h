// The frame transport over a real adapter on Linux, through libpcap.
#ifndef ETHERCAT_PCAP_PORT_H
#define ETHERCAT_PCAP_PORT_H

#include <ethercat/transport.h>

#include <string>

struct pcap;

namespace ethercat {

class MasterPcapPort : public Transport {
public:
    // Opens `ifname` for EtherCAT frames. Returns null and sets *why to one
    // readable sentence (what failed and what to do) when it cannot.
    static MasterPcapPort *open(const char *ifname, std::string *why);
    ~MasterPcapPort() override;

    bool send(const uint8_t *frame, size_t len) override;
    int receive(uint8_t *buf, size_t capacity, int timeoutUs) override;

private:
    explicit MasterPcapPort(struct pcap *handle, int fd) : handle_(handle), fd_(fd) {}
    struct pcap *handle_;
    int fd_;
};

} // namespace ethercat

#endif
