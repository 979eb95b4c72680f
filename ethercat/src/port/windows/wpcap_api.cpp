#include "port/windows/wpcap_api.h"

#include <windows.h>

namespace ethercat {
namespace wpcap {

namespace {

// Npcap installs wpcap.dll and its Packet.dll in System32\Npcap, which is not
// on the DLL search path (Npcap's developer guide, "DLL loading"). Loaded by
// its full path with the altered search order, Packet.dll is found beside
// it, and the process's DLL directory is left alone. Otherwise the standard
// search finds WinPcap, or Npcap installed in WinPcap-compatible mode.
HMODULE loadLibrary(DWORD *error)
{
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
        std::wstring path(system, n);
        path += L"\\Npcap\\wpcap.dll";
        if (HMODULE m = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return m;
    }
    HMODULE m = LoadLibraryW(L"wpcap.dll");
    *error = m ? 0 : GetLastError();
    return m;
}

std::string systemMessage(DWORD code)
{
    char *text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                       | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char *>(&text), 0, nullptr);
    std::string s = n && text ? std::string(text, n) : "error " + std::to_string(code);
    if (text)
        LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s;
}

template <typename F>
bool resolve(HMODULE m, const char *name, F *slot, std::string *missing)
{
    // GetProcAddress hands back a generic function pointer; the slot's type
    // is the header's declaration of that very function.
    *slot = reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(m, name)));
    if (!*slot && missing->empty())
        *missing = name;
    return *slot != nullptr;
}

struct Loaded {
    Api api;
    bool ok = false;
    std::string why;
};

Loaded load()
{
    Loaded l;
    DWORD error = 0;
    HMODULE m = loadLibrary(&error);
    if (!m) {
        if (error == ERROR_MOD_NOT_FOUND)
            l.why = "wpcap.dll was not found: Npcap is not installed (install it from npcap.com)";
        else
            l.why = "wpcap.dll could not be loaded: " + systemMessage(error);
        return l;
    }
    std::string missing;
    Api &a = l.api;
    resolve(m, "pcap_findalldevs", &a.findalldevs, &missing);
    resolve(m, "pcap_freealldevs", &a.freealldevs, &missing);
    resolve(m, "pcap_open", &a.open, &missing);
    resolve(m, "pcap_close", &a.close, &missing);
    resolve(m, "pcap_datalink", &a.datalink, &missing);
    resolve(m, "pcap_geterr", &a.geterr, &missing);
    resolve(m, "pcap_compile", &a.compile, &missing);
    resolve(m, "pcap_setfilter", &a.setfilter, &missing);
    resolve(m, "pcap_freecode", &a.freecode, &missing);
    resolve(m, "pcap_setnonblock", &a.setnonblock, &missing);
    resolve(m, "pcap_getevent", &a.getevent, &missing);
    resolve(m, "pcap_sendpacket", &a.sendpacket, &missing);
    resolve(m, "pcap_next_ex", &a.next_ex, &missing);
    if (!missing.empty()) {
        // The module stays loaded: nothing else is, and a retry would fail alike.
        l.why = "the wpcap.dll found lacks " + missing + ": install a current Npcap";
        return l;
    }
    l.ok = true;
    return l;
}

} // namespace

const Api *api(std::string *why)
{
    static const Loaded loaded = load();
    if (!loaded.ok) {
        *why = loaded.why;
        return nullptr;
    }
    return &loaded.api;
}

} // namespace wpcap
} // namespace ethercat
