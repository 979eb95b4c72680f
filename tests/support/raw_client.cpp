#include "raw_client.h"

#include <poll.h>
#include <time.h>

#include <ecwire/frame.h>
#include <ecwire/registers.h>

namespace bench {

bool RawClient::next(std::vector<uint8_t> &frame)
{
    if (waiting_.empty())
        port_.dispatch([this](const uint8_t *d, size_t caplen, size_t) { waiting_.emplace_back(d, d + caplen); });
    if (waiting_.empty())
        return false;
    frame = std::move(waiting_.front());
    waiting_.pop_front();
    return true;
}

bool RawClient::receive(std::vector<uint8_t> &frame, int64_t timeoutUs)
{
    if (port_.selectableFd() < 0)
        return false;
    const int64_t deadline = nowNs() + timeoutUs * 1000;
    for (;;) {
        if (next(frame))
            return true;
        const int64_t left = deadline - nowNs();
        if (left <= 0)
            return false;
        pollfd p{port_.selectableFd(), POLLIN, 0};
        const timespec ts{static_cast<time_t>(left / 1000000000), static_cast<long>(left % 1000000000)};
        ::ppoll(&p, 1, &ts, nullptr);
    }
}

int64_t RawClient::roundTrip(const std::vector<uint8_t> &frame, std::vector<uint8_t> &reply,
                             int64_t timeoutUs)
{
    drain();
    const int64_t start = nowNs();
    if (!send(frame))
        return -1;
    const int64_t deadline = start + timeoutUs * 1000;
    for (;;) {
        const int64_t left = deadline - nowNs();
        if (left <= 0 || !receive(reply, (left + 999) / 1000))
            return -1;
        // The capture sees inbound frames only, and what waited was drained: the first frame
        // is the reply, with or without the returned-frame mark (not every slave sets it).
        if (!reply.empty())
            return nowNs() - start;
    }
}

void RawClient::roundTrips(const std::vector<uint8_t> &frame, size_t count, size_t warmup, Samples &into,
                           int64_t timeoutUs)
{
    std::vector<uint8_t> reply;
    for (size_t i = 0; i < warmup + count; ++i) {
        const int64_t ns = roundTrip(frame, reply, timeoutUs);
        if (i >= warmup)
            into.add(ns);
    }
}

size_t RawClient::drain()
{
    size_t n = 0;
    std::vector<uint8_t> scratch;
    while (next(scratch))
        ++n;
    return n;
}

std::vector<uint8_t> lrwFrame(uint16_t length, uint8_t index)
{
    ecwire::FrameBuilder b;
    b.add(ecwire::Command::LRW, index, 0, nullptr, length);
    return b.finish();
}

std::vector<uint8_t> brdFrame(uint8_t index)
{
    ecwire::FrameBuilder b;
    b.add(ecwire::Command::BRD, index, ecwire::makeAddress(0, ecwire::reg::Type), nullptr, 2);
    return b.finish();
}

}  // namespace bench
