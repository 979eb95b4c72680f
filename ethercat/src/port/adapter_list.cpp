// The adapter list in SOEM's form: the platform's entries, in its order,
// each name and description cut to what ec_adaptert holds.
#include "adapter_check.h"
#include "engine.h"
#include "port/platform.h"

#include <soem/soem.h>

#include <cstdlib>

extern "C" ec_adaptert *ec_find_adapters(void)
{
    std::vector<ethercat::AdapterEntry> found;
    std::string why;
    if (!ethercat::listAdapters(&found, &why)) {
        ethercat::reportAdapterList("ec_find_adapters: cannot list the network adapters: " + why);
        return nullptr;
    }
    ethercat::reportAdapterList(std::string());
    ec_adaptert *head = nullptr;
    ec_adaptert **tail = &head;
    for (const ethercat::AdapterEntry &f : found) {
        auto *a = static_cast<ec_adaptert *>(std::calloc(1, sizeof(ec_adaptert)));
        if (!a)
            break;
        ethercat::copyCut(a->name, sizeof a->name, f.name.c_str());
        ethercat::copyCut(a->desc, sizeof a->desc, f.desc.c_str());
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
