// Adapter name checks shared by every platform; what kind of adapter a name
// stands for is the platform's question (checkAdapterKind).
#include "adapter_check.h"
#include "port/platform.h"

#include <soem/soem.h>

#include <cstring>

namespace ethercat {

namespace {

bool startsWith(const char *s, const char *prefix)
{
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

} // namespace

bool isPseudoDeviceName(const char *ifname)
{
    return std::strcmp(ifname, "any") == 0 || startsWith(ifname, "nf") || startsWith(ifname, "bluetooth")
        || startsWith(ifname, "dbus") || startsWith(ifname, "usbmon");
}

bool checkEthernetAdapter(const char *ifname, std::string *why)
{
    if (!ifname || !*ifname) {
        *why = "the adapter name is empty";
        return false;
    }
    if (std::strlen(ifname) >= EC_MAXLEN_ADAPTERNAME) {
        *why = "the adapter name is longer than " + std::to_string(EC_MAXLEN_ADAPTERNAME - 1) + " characters";
        return false;
    }
    if (isPseudoDeviceName(ifname)) {
        *why = "not an Ethernet adapter (a capture pseudo device)";
        return false;
    }
    return checkAdapterKind(ifname, why);
}

void copyCut(char *dst, size_t cap, const char *src)
{
    if (cap == 0)
        return;
    size_t n = std::strlen(src);
    if (n >= cap) {
        n = cap - 1;
        // Do not leave half a UTF-8 character: back up over continuation
        // bytes to the start of the character that was cut.
        size_t k = n;
        while (k > 0 && (static_cast<unsigned char>(src[k]) & 0xC0) == 0x80)
            --k;
        if (k < n && (static_cast<unsigned char>(src[k]) & 0x80))
            n = k;
    }
    std::memcpy(dst, src, n);
    dst[n] = '\0';
}

} // namespace ethercat
