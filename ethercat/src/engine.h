// What the master keeps per context beyond SOEM's interface: the open
// adapter with its buffers (the engine, from ecx_init to ecx_close), and its
// own bookkeeping of the bus (kept after ecx_close, until the next ecx_init
// of the same context, so that a caller can still ask why a connect failed).
// Kept in a table keyed by the context's address: SOEM's context has no
// field for it.
#ifndef ETHERCAT_ENGINE_H
#define ETHERCAT_ENGINE_H

#include <ethercat/diagnostics.h>
#include <ethercat/transport.h>
#include <ecwire/frame.h>

#include <soem/soem.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ethercat {

// A received frame may still carry its frame check sequence (4 bytes after
// the largest 1514-byte frame): the receive buffer takes it, and the reply
// check ignores whatever follows the datagrams.
constexpr size_t kFcsSize = 4;
constexpr size_t kRxCapacity = ecwire::eth::MaxFrameSize + kFcsSize;

// Frames one process-data exchange may take.
constexpr size_t kMaxPdFrames = 16;

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
    std::array<PdFrame, kMaxPdFrames> pd{};
    int pdCount = 0;
    uint8_t *pdImage = nullptr;
    uint32_t pdInputsFrom = 0; // image offset where the inputs begin

    // Frames dropped because they were not ours, stale or malformed.
    uint64_t dropped = 0;

    explicit Engine(Transport *t);
    uint8_t nextIndex() { return ++lastIndex; }
};

// The master's own record of one slave, beside its ec_slavet entry.
struct SlaveBook {
    uint8_t escType = 0;       // register 0x0000
    uint8_t escFmmus = 0;      // register 0x0004: FMMUs the ESC has
    uint16_t escFeatures = 0;  // register 0x0008
    uint8_t smCount = 0;       // SyncManager entries the SII (or 0x1C00) gives, in SM/SMtype
    uint8_t fmmuCount = 0;     // FMMU entries the SII gives, in FMMU0func..FMMU3func
    uint32_t siiObits = 0;     // output bits of the RxPDOs the SII assigns to a SyncManager
    uint32_t siiIbits = 0;     // input bits of the TxPDOs the SII assigns to a SyncManager
    bool siiPdoOut = false;    // the SII assigns an RxPDO to a SyncManager
    bool siiPdoIn = false;     // the SII assigns a TxPDO to a SyncManager
    SizeSource outputsFrom = SizeSource::None;
    SizeSource inputsFrom = SizeSource::None;
    std::string sizesFallback; // why the CoE objects did not give the sizes
    bool outMapped = false;    // the outputs have an FMMU (they count in the working counter)
    bool inMapped = false;     // the inputs have an FMMU
    bool mbxDrained = false;   // the read mailbox was emptied before the first request
    uint8_t mbxRxCnt = 0;      // counter of the last mailbox message taken from the slave (0 none)
    uint32_t mbxRxSum = 0;     // checksum of that message: tells a repetition from a new one
    bool caRefused = false;    // the slave refused an SDO complete access
    uint16_t alLast = 0;       // AL status as last read (state keeps what the caller requests)
    bool devEmulation = false; // PDI control (0x0140) bit 8: AL status copies AL control
    uint16_t alReported = 0;   // AL status last reported (0 none)
    uint16_t alReportedCode = 0; // and its AL status code
};

struct ContextState {
    std::unique_ptr<Engine> engine; // while an adapter is open
    std::vector<SlaveBook> slaves;  // by slave number, grown as slaves are found
    int expectedWkc[EC_MAXGROUP] = {};
    std::vector<std::string> reasons;
};

// The state of `context`, made when it has none.
ContextState &stateOf(const ecx_contextt *context);
// The state of `context`, or null when the master never saw it.
ContextState *findState(const ecx_contextt *context);
// Starts a fresh state for `context` (ecx_init): the bookkeeping and
// reasons of an earlier session are dropped, an engine still there closed.
ContextState &resetState(const ecx_contextt *context, std::unique_ptr<Engine> engine);
// Closes the engine of `context`; its bookkeeping stays.
void closeEngine(const ecx_contextt *context);

// The engine of an initialised context, or null.
Engine *engineOf(ecx_contextt *context);

// The master's record of slave `slave` (grown as needed).
SlaveBook &bookOf(ecx_contextt *context, int slave);

// Says why on stderr ("<who>: <text>") and keeps the line for the caller
// (ethercat::diagnostics).
void report(const ecx_contextt *context, const std::string &line);

// The same for ec_find_adapters, which has no context: the reason it could
// not list the adapters, or an empty one when it could.
void reportAdapterList(const std::string &line);

} // namespace ethercat

#endif
