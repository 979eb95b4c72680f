// What the master asks of the operating system besides the clock (clock.h):
// the adapter list, what kind an adapter is, and a frame transport over one.
// port/linux/ implements it with AF_PACKET sockets and the kernel's interface
// ioctls, port/windows/ with Npcap's wpcap.dll; CMake builds one of the two.
#ifndef ETHERCAT_PORT_PLATFORM_H
#define ETHERCAT_PORT_PLATFORM_H

#include <ethercat/transport.h>

#include <string>
#include <vector>

namespace ethercat {

struct AdapterEntry {
    std::string name; // what ecx_init takes
    std::string desc; // what a person reads; the name when the system has none
};

// The Ethernet adapters an operator may pick, in the order to show them.
// False with *why set when the system cannot list adapters at all.
bool listAdapters(std::vector<AdapterEntry> *out, std::string *why);

// The platform's part of checkEthernetAdapter (adapter_check.h), for a name
// that is neither empty nor too long: false with *why set when the system
// says there is no such adapter or that it is not Ethernet.
bool checkAdapterKind(const char *ifname, std::string *why);

// Opens `ifname` for EtherCAT frames: promiscuous, our own sent frames not
// read back, a receive wait with a timeout in microseconds. Null with *why
// set (what failed and what to do) when it cannot.
Transport *openAdapter(const char *ifname, std::string *why);

} // namespace ethercat

#endif
