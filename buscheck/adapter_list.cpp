#include "adapter_list.h"

#include <adapter_names.h>

namespace buscheck {

std::vector<AdapterEntry> listAdapters()
{
    std::vector<AdapterEntry> out;
    for (const ecat::AdapterName &a : ecat::findAdapters()) {
        AdapterEntry e;
        e.name = QByteArray(a.name.data(), qsizetype(a.name.size()));
        e.description = QString::fromUtf8(a.desc.data(), qsizetype(a.desc.size()));
        e.link = adapterLink(e.name);
        out.push_back(e);
    }
    return out;
}

} // namespace buscheck
