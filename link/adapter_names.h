// The master's adapter list, walked once and handed back: each adapter's
// system name and description as the bytes of its field up to the first NUL
// (the whole field when it holds none). Callers decode the text as their
// output needs. Header-only, so that code which only declares the link (the
// window's library) gets the list from whoever supplies ec_find_adapters.
#pragma once

#include <soem/soem.h>

#include <cstring>
#include <string>
#include <vector>

namespace ecat {

struct AdapterName {
    std::string name;
    std::string desc;
};

inline std::string adapterField(const char *field, std::size_t size)
{
    const void *nul = std::memchr(field, '\0', size);
    return std::string(field, nul ? std::size_t(static_cast<const char *>(nul) - field) : size);
}

inline std::vector<AdapterName> findAdapters()
{
    std::vector<AdapterName> out;
    ec_adaptert *head = ec_find_adapters();
    for (const ec_adaptert *a = head; a; a = a->next)
        out.push_back({adapterField(a->name, sizeof a->name), adapterField(a->desc, sizeof a->desc)});
    ec_free_adapters(head);
    return out;
}

} // namespace ecat
