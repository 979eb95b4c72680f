// What the Linux port (libpcap) and the Windows port (Npcap) do alike with
// the pcap interface, whose types both declare the same way.
#ifndef ECMASTER_PORT_PCAP_COMMON_H
#define ECMASTER_PORT_PCAP_COMMON_H

#include "port/platform.h"

#include <pcap/pcap.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ecmaster {

// The Ethernet adapters of a pcap adapter list, in its order: loopback
// adapters and names that checkEthernetAdapter refuses are left out; an
// adapter without a description is described by its name.
std::vector<AdapterEntry> ethernetAdapters(const pcap_if_t *all);

// Copies a captured frame into `buf`, at most `capacity` bytes of it, and
// returns how many bytes it copied.
size_t copyFrame(const pcap_pkthdr *hdr, const u_char *data, uint8_t *buf, size_t capacity);

} // namespace ecmaster

#endif
