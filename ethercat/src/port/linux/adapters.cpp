// Adapters on Linux, as the kernel of this process's network namespace has
// them (if_nameindex asks over netlink; the kind of an adapter is asked
// through interface ioctls on a socket). /sys/class/net would answer for the
// namespace that mounted /sys, which in a container (or after `unshare -n`
// without a new sysfs mount) is another one. Nothing here needs privilege.
#include "adapter_check.h"
#include "port/platform.h"

#include <rawsocket/packet_socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <net/if.h>

namespace ethercat {

bool checkAdapterKind(const char *ifname, std::string *why)
{
    return rawsocket::checkAdapter(ifname, why);
}

bool listAdapters(std::vector<AdapterEntry> *out, std::string *why)
{
    out->clear();
    struct if_nameindex *all = ::if_nameindex();
    if (!all) {
        *why = std::string("if_nameindex failed: ") + std::strerror(errno);
        return false;
    }
    // Linux adapters have no description: the name stands for it.
    for (const struct if_nameindex *i = all; i->if_index != 0 && i->if_name; ++i) {
        std::string skip;
        if (checkEthernetAdapter(i->if_name, &skip))
            out->push_back({i->if_name, i->if_name});
    }
    ::if_freenameindex(all);
    // The kernel's order may change between calls: sorted, the list stays put.
    std::sort(out->begin(), out->end(),
              [](const AdapterEntry &a, const AdapterEntry &b) { return a.name < b.name; });
    return true;
}

} // namespace ethercat
