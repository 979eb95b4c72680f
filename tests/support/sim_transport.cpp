#include "sim_transport.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace ecwire;

SimTransport::SimTransport(const std::string &slaves)
{
    std::string error;
    bus_ = ecsim::Bus::create(slaves, &error);
}

bool SimTransport::send(const uint8_t *frame, size_t len)
{
    ++framesSent;
    lastSent.assign(frame, frame + len);
    std::vector<uint8_t> reply;
    const bool answered = bus_ && bus_->handleFrame(frame, len, reply);
    if (keepLog)
        log.push_back({lastSent, answered ? reply : std::vector<uint8_t>()});
    if (!answered)
        return true; // the wire takes it; nothing comes back
    if (rewrite)
        rewrite(lastSent, reply);
    reply.resize(reply.size() + trailerBytes, 0xA5);
    if (silent)
        return true;
    if (dropReplies > 0) {
        --dropReplies;
        return true;
    }
    while (foreignBeforeNext > 0) {
        --foreignBeforeNext;
        std::vector<uint8_t> other(reply.size(), 0xEE);
        putU16Be(other.data() + eth::EtherType, 0x0800); // IPv4
        queue_.push_back(other);
    }
    while (staleBeforeNext > 0 && !previousReply_.empty()) {
        --staleBeforeNext;
        queue_.push_back(previousReply_);
    }
    previousReply_ = reply;
    if (noReturnMark)
        reply[eth::Source] &= uint8_t(~eth::SourceReturnedBit);
    if (corruptReplies > 0) {
        --corruptReplies;
        putU16(reply.data() + ecat::Offset, 0x17FF); // declared length far beyond the frame
    }
    if (truncateReplies > 0) {
        --truncateReplies;
        reply.resize(ecat::FirstDatagram + 6); // inside the first datagram header
    }
    ++framesAnswered;
    queue_.push_back(std::move(reply));
    return true;
}

int QueuedTransport::receive(uint8_t *buf, size_t capacity, int timeoutUs)
{
    if (queue_.empty()) {
        if (failWhenNothingQueued)
            return -1;
        // Nothing will come: let the time pass as a real wire would.
        std::this_thread::sleep_for(std::chrono::microseconds(timeoutUs));
        return 0;
    }
    std::vector<uint8_t> f = std::move(queue_.front());
    queue_.pop_front();
    const size_t n = f.size() < capacity ? f.size() : capacity;
    if (n > 0)
        std::memcpy(buf, f.data(), n);
    return int(n);
}
