// What the simulator does with one captured frame: count it, apply the frame-level faults,
// let the slaves process it and send the reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "commands.h"
#include "faults.h"

namespace ecsim {

class FrameServer {
public:
    // What the chain of slaves made of a frame.
    enum class Outcome { Reply, Malformed, Lost };
    // The chain of slaves (Bus::handleFrame) and the way out (the port's send).
    using Process = std::function<Outcome(const uint8_t *frame, size_t len, std::vector<uint8_t> &reply)>;
    using Send = std::function<bool(const uint8_t *frame, size_t len)>;

    FrameServer(Process process, Send send, FrameFaults &faults, FrameCounters &counters)
        : process_(std::move(process)), send_(std::move(send)), faults_(faults), counters_(counters)
    {
    }

    // caplen: bytes at hand; wirelen: the frame's length on the wire (larger when the
    // capture cut it off, which makes it unusable).
    void onFrame(const uint8_t *data, size_t caplen, size_t wirelen);

private:
    Process process_;
    Send send_;
    FrameFaults &faults_;
    FrameCounters &counters_;
    std::vector<uint8_t> reply_;  // reused: no allocation per frame once warmed up
};

}  // namespace ecsim
