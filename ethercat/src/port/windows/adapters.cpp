// Adapters on Windows: Npcap's list, in Npcap's order, with Npcap's device
// names (\Device\NPF_{GUID}) and descriptions (the adapter's own, e.g.
// "Intel(R) Ethernet Connection I219-V").
#include "port/pcap_common.h"
#include "port/windows/wpcap_api.h"

namespace ethercat {

bool checkAdapterKind(const char *, std::string *)
{
    // Nothing to ask before opening: the link type at open decides.
    return true;
}

bool listAdapters(std::vector<AdapterEntry> *out, std::string *why)
{
    out->clear();
    const wpcap::Api *api = wpcap::api(why);
    if (!api)
        return false;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t *all = nullptr;
    if (api->findalldevs(&all, errbuf) != 0) {
        *why = errbuf[0] ? errbuf : "pcap_findalldevs failed";
        return false;
    }
    // Npcap's loopback adapter (\Device\NPF_Loopback) is left out.
    *out = ethernetAdapters(all);
    api->freealldevs(all);
    return true;
}

} // namespace ethercat
