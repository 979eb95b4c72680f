// Adapters on Windows: Npcap's list, in Npcap's order, with Npcap's device
// names (\Device\NPF_{GUID}) and descriptions (the adapter's own, e.g.
// "Intel(R) Ethernet Connection I219-V").
#include "adapter_check.h"
#include "port/platform.h"
#include "port/windows/wpcap_api.h"

namespace ecmaster {

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
    for (pcap_if_t *d = all; d; d = d->next) {
        // Npcap's loopback adapter (\Device\NPF_Loopback) carries no Ethernet.
        if (!d->name || (d->flags & PCAP_IF_LOOPBACK))
            continue;
        std::string skip;
        if (!checkEthernetAdapter(d->name, &skip))
            continue;
        const bool hasDesc = d->description && *d->description;
        out->push_back({d->name, hasDesc ? d->description : d->name});
    }
    api->freealldevs(all);
    return true;
}

} // namespace ecmaster
