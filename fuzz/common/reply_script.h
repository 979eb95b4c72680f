// A frame transport whose replies come from a fuzz input: each frame the
// master sends is answered by the next group of frames of the script.
//
// Script: frames, each a 2-byte little-endian length and its bytes (the last
// may be cut short by the input's end). Bit 15 of a length says that the next
// frame belongs to the same answer. Index mode: bit 0 set leaves every
// datagram index as the input has it; otherwise the indexes of each answer's
// datagrams are set to the index of the frame just sent, XOR (mode >> 1), so
// a mode of 0 always matches.
#pragma once

#include "chunks.h"
#include "sim_transport.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fuzzscript {

constexpr uint16_t kSameAnswer = 0x8000;

class ScriptTransport : public QueuedTransport {
public:
    ScriptTransport() { failWhenNothingQueued = true; } // nothing more on the wire: give up at once

    void load(const uint8_t *data, size_t size, uint8_t indexMode)
    {
        data_ = data;
        size_ = size;
        pos_ = 0;
        indexMode_ = indexMode;
        queue_.clear();
        sent = 0;
    }

    bool send(const uint8_t *frame, size_t len) override
    {
        ++sent;
        const size_t indexAt = ecwire::ecat::FirstDatagram + ecwire::dgram::Index;
        const bool haveIndex = len > indexAt;
        const uint8_t index = haveIndex ? frame[indexAt] : 0;
        bool more = true;
        while (more && pos_ < size_) {
            fuzzchunks::Chunk c = fuzzchunks::take(data_, size_, pos_, static_cast<uint16_t>(~kSameAnswer));
            more = (c.head & kSameAnswer) != 0;
            if (!(indexMode_ & 1) && haveIndex)
                patchIndexes(c.bytes, static_cast<uint8_t>(index ^ (indexMode_ >> 1)));
            queue_.push_back(std::move(c.bytes));
        }
        return true;
    }

    size_t sent = 0;

private:
    // Walks the datagram headers only as far as the frame holds them; the
    // master parses the frame itself with the wire library.
    static void patchIndexes(std::vector<uint8_t> &f, uint8_t index)
    {
        using namespace ecwire;
        size_t off = ecat::FirstDatagram;
        for (int i = 0; i < 64 && off + dgram::HeaderSize <= f.size(); ++i) {
            f[off + dgram::Index] = index;
            const uint16_t lf = getU16(f.data() + off + dgram::LenFlags);
            off += dgram::Overhead + (lf & dgram::LengthMask);
            if (!(lf & dgram::More))
                break;
        }
    }

    const uint8_t *data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    uint8_t indexMode_ = 0;
};

} // namespace fuzzscript
