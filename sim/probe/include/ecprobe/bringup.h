// A bring-up of every slave on the bus with the probe, enough to exchange
// real process data: stations, SII, mailbox SyncManagers, process-data sizes
// (CoE assignment, else the SII's assigned PDOs, else the SII's SyncManager
// lengths), SyncManagers and FMMUs, then SAFE-OP or OP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <ecprobe/probe.h>
#include <ecwire/sii.h>

namespace ecprobe {

struct SlaveMapping {
    uint16_t station = 0;
    ecwire::SiiDevice sii;
    MailboxLayout mailbox;
    uint32_t outputBytes = 0, inputBytes = 0;
    uint32_t outputLogical = 0, inputLogical = 0;
    bool lrw = true;            // the ESC takes LRW (ESC features)
    std::string sizesFrom;      // "CoE", "SII PDOs" or "SII SyncManagers"
};

struct BringUp {
    bool ok = false;
    std::string error;          // what failed, with what was expected and what came back
    std::vector<SlaveMapping> slaves;
    uint32_t outputBytes = 0;   // all outputs, from logical address 0
    uint32_t inputBytes = 0;    // all inputs, after the outputs
    uint16_t expectedLrwWkc = 0;
};

// Where a slave's mailboxes are, as its SII's standard mailbox fields say.
inline MailboxLayout mailboxOf(const ecwire::SiiDevice &sii)
{
    return {sii.mbxRxOffset, sii.mbxRxSize, sii.mbxTxOffset, sii.mbxTxSize};
}

// Brings every slave to `state` (ecwire::al::SafeOp or Op). Each slave's
// outputs and inputs are placed one after the other in the logical image.
BringUp bringUpBus(Probe &probe, uint16_t state);

// The process-data sizes of a slave in PRE-OP over CoE: 0x1C12/0x1C13 and
// the mapping objects, subindex by subindex. False when the slave does not answer them.
bool coeSizes(Probe &probe, const SlaveMapping &s, uint32_t &outputBytes, uint32_t &inputBytes);

} // namespace ecprobe
