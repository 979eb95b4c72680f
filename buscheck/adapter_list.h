// The adapters the window would list, in the same order (the master's
// adapter list), with what this machine says about each.
#pragma once

#include "host.h"

#include <vector>

namespace buscheck {

struct AdapterEntry {
    QByteArray name;
    QString description;
    AdapterLink link;
};

std::vector<AdapterEntry> listAdapters();

} // namespace buscheck
