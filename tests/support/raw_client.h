// A bare EtherCAT frame client over one interface (a veth end inside a private namespace):
// sends raw frames and waits for the frames that come back, timing the round trip.
// The simulator's tests and the benchmarks use it as their baseline transport. It opens
// the interface as the simulator does (its SimulatorPcapPort: inbound EtherCAT frames only).
#pragma once

#include "bench_line.h"
#include "simulator_pcap_port.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace bench {

class RawClient {
public:
    bool open(const std::string &iface, std::string &error) { return port_.open(iface, error); }

    bool send(const uint8_t *frame, size_t len) { return port_.send(frame, len); }
    bool send(const std::vector<uint8_t> &frame) { return send(frame.data(), frame.size()); }

    // Waits up to timeoutUs microseconds for the next inbound frame. False on timeout.
    bool receive(std::vector<uint8_t> &frame, int64_t timeoutUs);

    // Sends `frame` and waits up to timeoutUs for its reply: the next inbound frame, with or
    // without the returned-frame mark (not every slave sets it). Returns the round trip in
    // nanoseconds, or -1 when nothing came back in time. Frames left over from earlier exchanges
    // are dropped first.
    int64_t roundTrip(const std::vector<uint8_t> &frame, std::vector<uint8_t> &reply,
                      int64_t timeoutUs);
    // `warmup` round trips of `frame`, then `count` timed ones into `into`.
    void roundTrips(const std::vector<uint8_t> &frame, size_t count, size_t warmup, Samples &into,
                    int64_t timeoutUs = 100'000);

    // Throws away every frame waiting now; returns how many.
    size_t drain();

private:
    bool next(std::vector<uint8_t> &frame);  // one waiting frame, without blocking

    ecsim::SimulatorPcapPort port_;
    std::deque<std::vector<uint8_t>> waiting_;
};

// Frames of one datagram for round-trip measurements.
std::vector<uint8_t> lrwFrame(uint16_t length, uint8_t index = 0); // LRW at logical 0
std::vector<uint8_t> brdFrame(uint8_t index = 0);                  // BRD of register 0x0000, 2 bytes

}  // namespace bench
