// What the master keeps per open adapter, behind ecx_portt.impl.
#ifndef ETHERCAT_ENGINE_H
#define ETHERCAT_ENGINE_H

#include <ethercat/transport.h>
#include <ecwire/frame.h>

#include <soem/soem.h>

#include <array>
#include <cstdint>
#include <memory>

namespace ethercat {

// A received frame may still carry its frame check sequence (4 bytes after
// the largest 1514-byte frame): the receive buffer takes it, and the reply
// check ignores whatever follows the datagrams.
constexpr size_t kFcsSize = 4;
constexpr size_t kRxCapacity = ecwire::eth::MaxFrameSize + kFcsSize;

// One datagram of the process-data exchange: which part of the image it
// carries and with which command (LRW, or LWR/LRD for slaves without LRW).
struct PdPiece {
    ecwire::Command command = ecwire::Command::LRW;
    uint32_t offset = 0;   // first image byte
    uint16_t length = 0;   // image bytes
};

// One frame of a process-data exchange that is on the wire.
constexpr size_t kPdPiecesPerFrame = 2;
struct PdFrame {
    uint8_t index = 0;     // datagram index the reply must carry
    PdPiece piece[kPdPiecesPerFrame];
    uint8_t pieces = 0;
    bool back = false;     // the reply came back
    uint16_t wkc = 0;
};

struct Engine {
    Transport *transport = nullptr;
    std::unique_ptr<Transport> owned; // set when ecx_init opened the adapter
    uint8_t lastIndex = 0;
    ecwire::FrameBuilder builder;
    ecwire::ParsedFrame parsed;
    std::array<uint8_t, kRxCapacity> rx{};

    // The process-data exchange in flight (see processdata.cpp).
    std::array<PdFrame, EC_MAXPDFRAMES> pd{};
    int pdCount = 0;
    uint8_t *pdImage = nullptr;
    uint32_t pdInputsFrom = 0; // image offset where the inputs begin

    // Frames dropped because they were not ours, stale or malformed.
    uint64_t dropped = 0;

    explicit Engine(Transport *t);
    uint8_t nextIndex() { return ++lastIndex; }
};

// The engine of an initialised context, or null.
Engine *engineOf(ecx_contextt *context);

} // namespace ethercat

#endif
