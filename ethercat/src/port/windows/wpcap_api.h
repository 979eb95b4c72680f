// Npcap's wpcap.dll, loaded when the master first needs it rather than
// linked: the program then starts, and says why no adapter can be used, on a
// machine without Npcap. The function types come from the pcap headers, so
// the compiler checks every call against the real interface.
#ifndef ETHERCAT_PORT_WINDOWS_WPCAP_API_H
#define ETHERCAT_PORT_WINDOWS_WPCAP_API_H

#include <pcap/pcap.h>

#include <string>

namespace ethercat {
namespace wpcap {

struct Api {
    decltype(&::pcap_findalldevs) findalldevs = nullptr;
    decltype(&::pcap_freealldevs) freealldevs = nullptr;
    decltype(&::pcap_open) open = nullptr;
    decltype(&::pcap_close) close = nullptr;
    decltype(&::pcap_datalink) datalink = nullptr;
    decltype(&::pcap_geterr) geterr = nullptr;
    decltype(&::pcap_compile) compile = nullptr;
    decltype(&::pcap_setfilter) setfilter = nullptr;
    decltype(&::pcap_freecode) freecode = nullptr;
    decltype(&::pcap_setnonblock) setnonblock = nullptr;
    decltype(&::pcap_getevent) getevent = nullptr;
    decltype(&::pcap_sendpacket) sendpacket = nullptr;
    decltype(&::pcap_next_ex) next_ex = nullptr;
};

// The loaded library's functions, or null with *why set (Npcap missing, or a
// wpcap.dll without one of the functions). Loaded once per process; a
// failure is not retried.
const Api *api(std::string *why);

} // namespace wpcap
} // namespace ethercat

#endif
