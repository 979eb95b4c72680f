// The master's frame transport to the in-process slave model: every frame
// sent goes to ecsim::Bus::handleFrame and the reply is queued for the
// master's next receive. The tests lose, damage or add frames on the way
// back; the fuzz targets keep every exchange and never wait. No Qt: the
// Windows test program and the fuzz targets use it too.
#pragma once

#include <ethercat/transport.h>
#include <ecsim/bus.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A transport whose frames wait in a queue for the master's receive().
class QueuedTransport : public ethercat::Transport {
public:
    int receive(uint8_t *buf, size_t capacity, int timeoutUs) override;

    // With nothing queued, receive() returns -1 (the adapter failed) at once
    // instead of letting the timeout pass as a real wire would: the master
    // then gives up at once, which keeps fuzzing fast.
    bool failWhenNothingQueued = false;

protected:
    std::deque<std::vector<uint8_t>> queue_;
};

class SimTransport : public QueuedTransport {
public:
    // A bus of these slaves (a --slaves list of the simulator); ok() tells
    // whether the model took it.
    explicit SimTransport(const std::string &slaves);

    bool send(const uint8_t *frame, size_t len) override;

    ecsim::Bus &bus() { return *bus_; }
    bool ok() const { return bus_ != nullptr; }
    // Slave-level command; returns the model's answer.
    std::string command(const std::string &line) { return bus_->command(line); }

    // Called with every frame sent and the model's reply to it, before the
    // faults below: lets a test lay behaviour of other slaves over the model.
    std::function<void(const std::vector<uint8_t> &request, std::vector<uint8_t> &reply)> rewrite;
    // Appended to every reply (a frame check sequence some adapters pass on).
    size_t trailerBytes = 0;

    // Faults applied to the next replies.
    int dropReplies = 0;       // lose this many replies
    int corruptReplies = 0;    // break the EtherCAT header length of this many
    int truncateReplies = 0;   // cut this many short in the middle of a datagram
    bool silent = false;       // no reply at all while set
    bool noReturnMark = false; // replies without the returned-frame mark
    // Frames put in front of the next reply: a stale copy of the previous
    // reply, and a frame of another protocol.
    int staleBeforeNext = 0;
    int foreignBeforeNext = 0;

    // Every frame sent and the model's reply (empty when it gave none),
    // while keepLog is set: what a seed program saves.
    struct Exchange {
        std::vector<uint8_t> request;
        std::vector<uint8_t> reply;
    };
    bool keepLog = false;
    std::vector<Exchange> log;

    int framesSent = 0;
    int framesAnswered = 0;
    std::vector<uint8_t> lastSent;

private:
    std::unique_ptr<ecsim::Bus> bus_;
    std::vector<uint8_t> previousReply_;
};
