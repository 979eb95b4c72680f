#include "faults.h"

#include <chrono>
#include <cmath>

#include <ecwire/frame.h>
#include <ecwire/le.h>

namespace ecsim {

namespace {

uint64_t monotonicNs()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                         std::chrono::steady_clock::now().time_since_epoch())
                                         .count());
}

std::string checkFraction(double f)
{
    if (!std::isfinite(f) || f < 0.0 || f > 1.0)
        return "fraction must be between 0 and 1";
    return {};
}

// End of the EtherCAT part of a frame: the datagram length its header declares, bounded by
// the bytes at hand (the rest is Ethernet padding, which corrupting would not show).
size_t ethercatEnd(const std::vector<uint8_t> &frame)
{
    constexpr size_t start = ecwire::eth::HeaderSize;
    if (frame.size() < start + ecwire::ecat::HeaderSize)
        return frame.size();
    const size_t declared = ecwire::getU16(frame.data() + start) & ecwire::ecat::LengthMask;
    const size_t end = start + ecwire::ecat::HeaderSize + declared;
    return end < frame.size() ? end : frame.size();
}

}  // namespace

uint64_t FaultRandom::next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double FaultRandom::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

size_t FaultRandom::below(size_t bound) { return static_cast<size_t>(next() % bound); }

bool FaultRandom::chance(double fraction)
{
    if (fraction <= 0.0)
        return false;
    if (fraction >= 1.0)
        return true;
    return uniform() < fraction;
}

FrameFaults::FrameFaults(std::function<uint64_t()> nowNs) : now_(std::move(nowNs))
{
    if (!now_)
        now_ = monotonicNs;
}

std::string FrameFaults::setDrop(double fraction)
{
    std::string e = checkFraction(fraction);
    if (e.empty())
        drop_ = fraction;
    return e;
}

std::string FrameFaults::setCorrupt(double fraction)
{
    std::string e = checkFraction(fraction);
    if (e.empty())
        corrupt_ = fraction;
    return e;
}

std::string FrameFaults::setTruncate(double fraction)
{
    std::string e = checkFraction(fraction);
    if (e.empty())
        truncate_ = fraction;
    return e;
}

std::string FrameFaults::setSilence(double seconds)
{
    // Up to a day: longer is surely a typing error, and it keeps the sum below far from overflow.
    if (!std::isfinite(seconds) || seconds < 0.0 || seconds > 86400.0)
        return "seconds must be between 0 and 86400";
    silenceUntilNs_ = seconds == 0.0 ? 0 : now_() + static_cast<uint64_t>(seconds * 1e9);
    return {};
}

bool FrameFaults::silent() const { return silenceUntilNs_ != 0 && now_() < silenceUntilNs_; }

bool FrameFaults::dropIncoming() { return random_.chance(drop_); }

unsigned FrameFaults::mangleReply(std::vector<uint8_t> &reply)
{
    unsigned applied = None;
    constexpr size_t start = ecwire::eth::HeaderSize;
    if (reply.size() <= start)
        return applied;
    const size_t end = ethercatEnd(reply);
    if (random_.chance(corrupt_) && end > start) {
        // One to three bytes, each XORed with a non-zero value so it really changes.
        const size_t count = 1 + random_.below(3);
        for (size_t i = 0; i < count; ++i) {
            const size_t at = start + random_.below(end - start);
            reply[at] ^= static_cast<uint8_t>(1 + random_.below(255));
        }
        applied |= Corrupted;
    }
    if (random_.chance(truncate_) && end > start) {
        // Keep the Ethernet header and lose at least the last byte of the datagrams.
        reply.resize(start + random_.below(end - start));
        applied |= Truncated;
    }
    return applied;
}

}  // namespace ecsim
