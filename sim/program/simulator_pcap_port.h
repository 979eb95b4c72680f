// The simulator's network port: a libpcap handle on one interface that sees only inbound
// EtherCAT frames and sends replies back out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

typedef struct pcap pcap_t;

namespace ecsim {

class SimulatorPcapPort {
public:
    SimulatorPcapPort() = default;
    ~SimulatorPcapPort();
    SimulatorPcapPort(const SimulatorPcapPort &) = delete;
    SimulatorPcapPort &operator=(const SimulatorPcapPort &) = delete;

    // Opens `iface` in immediate, non-blocking mode, inbound only, filtered on EtherType 0x88A4.
    // On failure returns false and sets `error` to one line naming the interface and the cause.
    bool open(const std::string &iface, std::string &error);
    // File descriptor to wait on with poll() for frames.
    int selectableFd() const { return fd_; }

    // Called with each captured frame: bytes, captured length, length on the wire.
    using FrameHandler = std::function<void(const uint8_t *data, size_t caplen, size_t wirelen)>;
    // Hands every frame waiting now to `handler`; returns -1 on a capture error (see lastError).
    int dispatch(const FrameHandler &handler);
    bool send(const uint8_t *data, size_t len);
    std::string lastError() const;

private:
    pcap_t *pcap_ = nullptr;
    int fd_ = -1;
};

}  // namespace ecsim
