// Frame transport under our master (ethercat/): the one thing that touches an
// adapter. The pcap port implements it for real adapters; tests plug in
// their own to run the master against an in-process slave model.
#ifndef ETHERCAT_TRANSPORT_H
#define ETHERCAT_TRANSPORT_H

#include <soem/soem.h>

#include <cstddef>
#include <cstdint>

namespace ethercat {

class Transport {
public:
    virtual ~Transport() = default;
    // Sends one whole Ethernet frame (destination MAC first, no FCS).
    // Returns false when the adapter refused it.
    virtual bool send(const uint8_t *frame, size_t len) = 0;
    // Waits at most timeoutUs microseconds for one received frame and copies
    // at most `capacity` bytes of it into `buf`. Returns the number of bytes
    // copied, 0 when the time ran out, or -1 when the adapter failed.
    virtual int receive(uint8_t *buf, size_t capacity, int timeoutUs) = 0;
};

} // namespace ethercat

// Attaches a transport the caller owns (and keeps alive until ecx_close)
// instead of opening an adapter. Returns 1, or 0 for a null argument.
int ecx_init_transport(ecx_contextt *context, ethercat::Transport *transport);

#endif
