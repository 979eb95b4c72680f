// Where the port looks for wpcap.dll: Npcap's own folder (System32\Npcap,
// off the DLL search path) before the standard search, which would find a
// WinPcap (or a stray copy beside the program) first. Here the stand-in is
// in both places; the port must take the one in Npcap's folder.
#include "harness.h"

#include "port/windows/wpcap_api.h"

#include <windows.h>

#include <string>

namespace {

std::wstring folderOf(const std::wstring &path)
{
    return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring modulePath(HMODULE m)
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(m, path, MAX_PATH);
    return std::wstring(path, n);
}

} // namespace

WT_CASE("npcap-folder", npcapsFolderComesFirst)
{
    wchar_t system[MAX_PATH];
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    REQUIRE(n > 0 && n < MAX_PATH);
    const std::wstring npcapDir = std::wstring(system, n) + L"\\Npcap";
    const std::wstring npcapDll = npcapDir + L"\\wpcap.dll";
    const std::wstring besideUs = folderOf(modulePath(nullptr)) + L"\\wpcap.dll";
    CreateDirectoryW(npcapDir.c_str(), nullptr);
    REQUIRE(CopyFileW(besideUs.c_str(), npcapDll.c_str(), FALSE));

    std::string why;
    const bool loaded = ethercat::wpcap::api(&why) != nullptr;
    HMODULE m = GetModuleHandleW(L"wpcap.dll");
    const std::wstring got = modulePath(m);
    // Leave the prefix as it was. A loaded DLL cannot be deleted; nothing
    // calls into it after this case, the only one of its group (a process).
    if (m)
        FreeLibrary(m);
    CHECK(DeleteFileW(npcapDll.c_str()));
    RemoveDirectoryW(npcapDir.c_str());
    CHECK(loaded);
    CHECK(_wcsicmp(got.c_str(), npcapDll.c_str()) == 0);
}
