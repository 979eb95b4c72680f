// The adapter list: Ethernet adapters only, sorted by name.
#include "adapter_check.h"

#include <soem/soem.h>

#include <pcap/pcap.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Found {
    std::string name;
    std::string desc;
};

std::vector<Found> listEthernet()
{
    std::vector<Found> out;
    char errbuf[PCAP_ERRBUF_SIZE] = {};
    pcap_if_t *all = nullptr;
    if (pcap_findalldevs(&all, errbuf) != 0)
        return out;
    for (pcap_if_t *d = all; d; d = d->next) {
        if (!d->name || (d->flags & PCAP_IF_LOOPBACK))
            continue;
        std::string why;
        if (!ecmaster::checkEthernetAdapter(d->name, &why))
            continue;
        const bool hasDesc = d->description && *d->description;
        out.push_back({d->name, hasDesc ? d->description : d->name});
    }
    pcap_freealldevs(all);
    std::sort(out.begin(), out.end(), [](const Found &a, const Found &b) { return a.name < b.name; });
    return out;
}

} // namespace

extern "C" ec_adaptert *ec_find_adapters(void)
{
    ec_adaptert *head = nullptr;
    ec_adaptert **tail = &head;
    for (const Found &f : listEthernet()) {
        auto *a = static_cast<ec_adaptert *>(std::calloc(1, sizeof(ec_adaptert)));
        if (!a)
            break;
        ecmaster::copyCut(a->name, sizeof a->name, f.name.c_str());
        ecmaster::copyCut(a->desc, sizeof a->desc, f.desc.c_str());
        *tail = a;
        tail = &a->next;
    }
    return head;
}

extern "C" void ec_free_adapters(ec_adaptert *adapter)
{
    while (adapter) {
        ec_adaptert *next = adapter->next;
        std::free(adapter);
        adapter = next;
    }
}
