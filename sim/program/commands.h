// The control channel's command interpreter: frame-level commands handled by the program,
// everything else forwarded to the slave model.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "faults.h"

namespace ecsim {

struct FrameCounters {
    uint64_t received = 0;      // EtherCAT frames captured on the interface
    uint64_t answered = 0;      // replies sent
    uint64_t dropped = 0;       // lost on purpose (drop fault)
    uint64_t silenced = 0;      // not answered because of the silence fault
    uint64_t corrupted = 0;     // replies with flipped bytes
    uint64_t truncated = 0;     // replies cut short
    uint64_t malformed = 0;     // refused by the slaves (bad lengths, cut off in capture, ...)
    uint64_t lost = 0;          // processed, the reply lost on purpose (a slave's lose-reply)
    uint64_t nonEthercat = 0;   // another EtherType, or an EtherCAT header of another type
    uint64_t sendErrors = 0;    // replies the interface refused to send
};

std::string formatCounters(const FrameCounters &c);

class CommandInterpreter {
public:
    using Forward = std::function<std::string(const std::string &line)>;

    CommandInterpreter(FrameFaults &faults, FrameCounters &counters, Forward toSlaves)
        : faults_(faults), counters_(counters), toSlaves_(std::move(toSlaves))
    {
    }

    // Answers one line with "ok", "ok <info>" or "error: <why>". A blank line or a comment
    // (starting with #) gives an empty answer, which is not sent.
    std::string execute(const std::string &line);
    bool quitRequested() const { return quit_; }

private:
    std::string fraction(const std::string &name, const std::string &args,
                         std::string (FrameFaults::*set)(double));

    FrameFaults &faults_;
    FrameCounters &counters_;
    Forward toSlaves_;
    bool quit_ = false;
};

}  // namespace ecsim
