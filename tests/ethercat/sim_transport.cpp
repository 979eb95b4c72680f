#include "sim_transport.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {
constexpr size_t kEcatLengthAt = 14; // EtherCAT header right after the Ethernet header
constexpr size_t kSourceAt = 6;
constexpr uint8_t kReturnedBit = 0x02;
} // namespace

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
    if (!bus_ || !bus_->handleFrame(frame, len, reply))
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
        other[12] = 0x08; // IPv4
        other[13] = 0x00;
        queue_.push_back(other);
    }
    while (staleBeforeNext > 0 && !previousReply_.empty()) {
        --staleBeforeNext;
        queue_.push_back(previousReply_);
    }
    previousReply_ = reply;
    if (noReturnMark)
        reply[kSourceAt] &= uint8_t(~kReturnedBit);
    if (corruptReplies > 0) {
        --corruptReplies;
        reply[kEcatLengthAt] = 0xFF; // declared length far beyond the frame
        reply[kEcatLengthAt + 1] = 0x17;
    }
    if (truncateReplies > 0) {
        --truncateReplies;
        reply.resize(kEcatLengthAt + 2 + 6); // inside the first datagram header
    }
    ++framesAnswered;
    queue_.push_back(std::move(reply));
    return true;
}

int SimTransport::receive(uint8_t *buf, size_t capacity, int timeoutUs)
{
    if (queue_.empty()) {
        // Nothing will come: let the time pass as a real wire would.
        std::this_thread::sleep_for(std::chrono::microseconds(timeoutUs));
        return 0;
    }
    std::vector<uint8_t> f = std::move(queue_.front());
    queue_.pop_front();
    const size_t n = f.size() < capacity ? f.size() : capacity;
    std::memcpy(buf, f.data(), n);
    return int(n);
}
