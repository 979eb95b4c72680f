// Frame exchange: datagrams out in one frame, the returned frame matched by
// its index, commands and lengths, read data copied back.
#ifndef ETHERCAT_TXRX_H
#define ETHERCAT_TXRX_H

#include "engine.h"

namespace ethercat {

struct Datagram {
    ecwire::Command command = ecwire::Command::NOP;
    uint32_t address = 0;       // ADP | ADO << 16, or a logical address
    uint8_t *data = nullptr;    // sent; for reads overwritten with what came back
    uint16_t length = 0;
    uint16_t keep = 0;          // leading data bytes not to overwrite on return
    uint16_t wkc = 0;           // filled on return
};

// Sends datagrams[0..count) in one frame with a fresh index. Returns the
// index used, or -1 when the frame did not fit or the adapter refused it.
int sendFrame(Engine &e, const Datagram *datagrams, size_t count);

// Checks one received frame against a frame we sent: EtherCAT, same index,
// same datagrams (command and length); the source address is not looked at. On a match copies the read
// data and the working counters into `datagrams` and returns true.
bool acceptReply(Engine &e, const uint8_t *frame, size_t len, uint8_t index, Datagram *datagrams,
                 size_t count);

// Sends one frame and waits up to timeoutUs for it to come back. Returns 1
// when it came back (working counters in the datagrams), EC_NOFRAME otherwise.
int exchange(Engine &e, Datagram *datagrams, size_t count, int timeoutUs);

// Wait for one frame during configuration: longer than a cyclic exchange
// waits, so that a slave (or a simulator) that is slow to be scheduled
// does not fail the bring-up.
constexpr int kConfigTimeoutUs = 10000;

// One datagram, up to `tries` times while no frame comes back. Returns the
// working counter or EC_NOFRAME.
int transfer(ecx_contextt *context, ecwire::Command command, uint32_t address, void *data,
             uint16_t length, int timeoutUs = kConfigTimeoutUs, int tries = 3);

// Register access helpers on top of transfer().
inline uint32_t positionAddress(uint16_t position0, uint16_t ado)
{
    return ecwire::makeAddress(static_cast<uint16_t>(0 - position0), ado);
}
int fprd(ecx_contextt *c, uint16_t station, uint16_t ado, void *data, uint16_t length);
int fpwr(ecx_contextt *c, uint16_t station, uint16_t ado, const void *data, uint16_t length);
int brd(ecx_contextt *c, uint16_t ado, void *data, uint16_t length);
int bwr(ecx_contextt *c, uint16_t ado, const void *data, uint16_t length);
int fpwrU16(ecx_contextt *c, uint16_t station, uint16_t ado, uint16_t value);
int bwrU16(ecx_contextt *c, uint16_t ado, uint16_t value);

} // namespace ethercat

#endif
