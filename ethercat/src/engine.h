// What the master keeps per open adapter, behind ecx_portt.impl.
#ifndef ECMASTER_ENGINE_H
#define ECMASTER_ENGINE_H

#include <ecmaster/transport.h>
#include <ecwire/frame.h>

#include <soem/soem.h>

#include <array>
#include <cstdint>
#include <memory>

namespace ecmaster {

// One frame of a process-data exchange that is on the wire.
struct PdFrame {
    uint8_t index = 0;     // datagram index the reply must carry
    uint32_t offset = 0;   // first image byte the frame carries
    uint16_t length = 0;   // image bytes it carries
    bool back = false;     // the reply came back
    uint16_t wkc = 0;
};

struct Engine {
    Transport *transport = nullptr;
    std::unique_ptr<Transport> owned; // set when ecx_init opened the adapter
    uint8_t lastIndex = 0;
    ecwire::FrameBuilder builder;
    ecwire::ParsedFrame parsed;
    std::array<uint8_t, ecwire::eth::MaxFrameSize> rx{};

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

} // namespace ecmaster

#endif
