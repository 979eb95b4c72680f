#include "adapter_list.h"

#include <soem/soem.h>

namespace buscheck {

std::vector<AdapterEntry> listAdapters()
{
    std::vector<AdapterEntry> out;
    ec_adaptert *head = ec_find_adapters();
    for (const ec_adaptert *a = head; a; a = a->next) {
        AdapterEntry e;
        e.name = QByteArray(a->name, int(qstrnlen(a->name, sizeof a->name)));
        e.description = QString::fromUtf8(a->desc, int(qstrnlen(a->desc, sizeof a->desc)));
        e.link = adapterLink(e.name);
        out.push_back(e);
    }
    ec_free_adapters(head);
    return out;
}

} // namespace buscheck
