// A chain of simulated EtherCAT slaves that processes frames in memory, the
// way the real chain processes them on the wire.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ecsim {

class Slave;

struct BusStats {
    uint64_t frames = 0;      // frames handed to handleFrame
    uint64_t answered = 0;    // frames processed and returned
    uint64_t malformed = 0;   // not EtherCAT or malformed: dropped
    uint64_t datagrams = 0;   // datagrams processed
};

class Bus {
public:
    ~Bus();
    // slaves: comma-separated device kinds, first = position 0, e.g. "sensor,dig-out,dig-in".
    // Returns nullptr and sets *error (if non-null) for an unknown kind or an empty list.
    static std::unique_ptr<Bus> create(const std::string &slaves, std::string *error = nullptr);
    // Processes one received Ethernet frame (destination MAC first, no FCS) as the chain of slaves
    // would. Returns true and fills `reply` with the frame the chain sends back (the same frame,
    // processed, with bit 1 (0x02) of the source MAC's first byte set); returns false when the
    // frame is not an EtherCAT frame or is malformed (it is dropped and counted).
    bool handleFrame(const uint8_t *frame, size_t len, std::vector<uint8_t> &reply);
    // One line of the control channel for slave-level behaviour; returns "ok" or "error: <why>".
    std::string command(const std::string &line);
    size_t slaveCount() const;
    // Clock used for profiles, timed faults and the DC system time; defaults to the monotonic
    // clock. Tests may install their own (nanoseconds).
    void setClock(std::function<uint64_t()> nowNs);

    // Additions for tests and the program
    const BusStats &stats() const { return stats_; }
    std::string lastError() const { return lastError_; } // why the last frame was dropped
    Slave &slave(size_t position);                          // 0-based
    uint64_t now() const;
    // The comma-separated list of device kinds create() accepts.
    static std::string deviceKinds();

private:
    Bus();
    std::vector<std::unique_ptr<Slave>> slaves_;
    std::function<uint64_t()> clock_;
    BusStats stats_;
    std::string lastError_;
};

} // namespace ecsim
