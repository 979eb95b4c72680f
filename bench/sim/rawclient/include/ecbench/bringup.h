// A minimal bring-up of the first slave on a bus, enough for the benchmark to exchange real
// process data: SII read, mailbox SyncManagers, input/output SyncManagers and FMMUs, then
// SAFE-OP or OP. It works over any frame exchange (the wire, or a Bus in-process).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ecbench {

// Sends one frame and returns true with the reply, false when none came back.
using Exchange = std::function<bool(const std::vector<uint8_t> &frame, std::vector<uint8_t> &reply)>;

struct BringUp {
    bool ok = false;
    std::string error;          // what failed, with what was expected and what came back
    uint32_t outputBytes = 0;   // at logical address 0
    uint32_t inputBytes = 0;    // after the outputs
    uint16_t expectedLrwWkc = 0;
};

// Brings the slave at position 0 to `state` (ecwire::al::SafeOp or Op). Outputs are mapped at
// logical 0 through FMMU 0, inputs right after them through FMMU 1.
BringUp bringUpFirstSlave(const Exchange &exchange, uint16_t state);

// A frame with one LRW datagram of `length` bytes at logical address 0.
std::vector<uint8_t> lrwFrame(uint16_t length, uint8_t index = 0);
// A frame with one BRD datagram reading register 0x0000 (2 bytes).
std::vector<uint8_t> brdFrame(uint8_t index = 0);

}  // namespace ecbench
