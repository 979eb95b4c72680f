#include "port/pcap_common.h"

#include "adapter_check.h"

namespace ethercat {

std::vector<AdapterEntry> ethernetAdapters(const pcap_if_t *all)
{
    std::vector<AdapterEntry> out;
    for (const pcap_if_t *d = all; d; d = d->next) {
        if (!d->name || (d->flags & PCAP_IF_LOOPBACK))
            continue;
        std::string skip;
        if (!checkEthernetAdapter(d->name, &skip))
            continue;
        const bool hasDesc = d->description && *d->description;
        out.push_back({d->name, hasDesc ? d->description : d->name});
    }
    return out;
}

} // namespace ethercat
