// Which adapters the master accepts: Ethernet ones only.
#ifndef ETHERCAT_ADAPTER_CHECK_H
#define ETHERCAT_ADAPTER_CHECK_H

#include <string>

namespace ethercat {

// True when `ifname` may be an Ethernet adapter; otherwise false and *why
// says what is wrong with it (empty, too long, unknown, not Ethernet).
bool checkEthernetAdapter(const char *ifname, std::string *why);

// True for names of capture pseudo devices that are never Ethernet
// adapters ("any", netfilter, bluetooth, D-Bus, USB monitors).
bool isPseudoDeviceName(const char *ifname);

// Copies `src` into `dst` of `cap` bytes, NUL-terminated, cutting before a
// UTF-8 sequence that would not fit whole.
void copyCut(char *dst, size_t cap, const char *src);

} // namespace ethercat

#endif
