// What the Windows port does with the pcap interface (Npcap's wpcap.dll):
// the adapter list's filter and the receive loop.
#ifndef ETHERCAT_PORT_PCAP_COMMON_H
#define ETHERCAT_PORT_PCAP_COMMON_H

#include "clock.h"
#include "port/platform.h"

#include <pcap/pcap.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ethercat {

// The Ethernet adapters of a pcap adapter list, in its order: loopback
// adapters and names that checkEthernetAdapter refuses are left out; an
// adapter without a description is described by its name.
std::vector<AdapterEntry> ethernetAdapters(const pcap_if_t *all);

// Transport::receive for both ports: a frame that waits is taken at once
// (copied into `buf`, at most `capacity` bytes); otherwise the port's wait
// runs, for at most the time left, until a frame may have come or the time
// is up. nextEx(hdr, data) is pcap_next_ex on the port's handle in
// non-blocking mode; wait(leftUs) returns false when the adapter failed.
template <typename NextEx, typename Wait>
int receiveFrame(uint8_t *buf, size_t capacity, int timeoutUs, NextEx nextEx, Wait wait)
{
    const int64_t deadline = nowUs() + (timeoutUs > 0 ? timeoutUs : 0);
    for (;;) {
        pcap_pkthdr *hdr = nullptr;
        const u_char *data = nullptr;
        const int rc = nextEx(&hdr, &data);
        if (rc == 1) {
            const size_t n = hdr->caplen < capacity ? hdr->caplen : capacity;
            if (n == 0)
                continue;
            std::memcpy(buf, data, n);
            return int(n);
        }
        if (rc < 0)
            return -1;
        const int64_t left = deadline - nowUs();
        if (left <= 0)
            return 0;
        if (!wait(left))
            return -1;
    }
}

} // namespace ethercat

#endif
