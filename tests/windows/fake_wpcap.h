// What the test program asks of the stand-in for Npcap's wpcap.dll
// (fake_wpcap.cpp) besides the pcap calls: what the port did with it, and
// faults to show. Both sides include this header.
#pragma once

#include <cstdint>

// The adapters it lists, in this order (Npcap's form of names).
#define FAKE_BUS_ADAPTER "\\Device\\NPF_{6A1C5C4E-0C23-4E6B-9A3B-1B2C3D4E5F60}"
#define FAKE_BUS_DESC "Intel(R) Ethernet Connection (7) I219-LM"
#define FAKE_LOOPBACK_ADAPTER "\\Device\\NPF_Loopback"
#define FAKE_SILENT_ADAPTER "\\Device\\NPF_{0D9F3B52-7E41-4C8A-B7A6-3C2D1E0F9A81}"
#define FAKE_SILENT_DESC "Realtek USB GbE Family Controller"
#define FAKE_DENIED_ADAPTER "\\Device\\NPF_{93E1A5B0-42D6-4F1E-8C3B-7A6D5E4F3B72}" // no description
#define FAKE_WIFI_ADAPTER "\\Device\\NPF_{C47B2E18-9D35-4A60-B1F2-8E7D6C5B4A93}"
#define FAKE_WIFI_DESC "Intel(R) Wi-Fi 6 AX201 160MHz"
// Npcap's texts for the failures it shows.
#define FAKE_DENIED_ERROR "Error opening adapter: Access is denied.  (5)"
#define FAKE_NO_DEVICE_ERROR "Error opening adapter: The system cannot find the device specified. (20)"
#define FAKE_NO_DRIVER_ERROR "PacketGetAdapterNames: The service has not been started. (1062)"
#define FAKE_WIFI_LINKTYPE 105 // DLT_IEEE802_11: the adapter opened in monitor mode

struct FakeWpcapState {
    // Set by the test.
    int failFindAllDevs; // pcap_findalldevs fails as without Npcap's driver
    int replyDelayUs;    // the bus's replies arrive this late (0: at once)
    // Kept by the fake.
    int opens;           // handles open now
    int openCalls;
    int lastSnapLen;
    int lastFlags;
    int lastReadTimeoutMs;
    int nonBlocking;     // pcap_setnonblock(1) on the last handle
    int eventsHandedOut; // pcap_getevent calls
    int framesSent;
    int ownFramesCaptured; // sent frames handed back to their sender
    char lastFilter[64];
};

extern "C" {
// Both exported by the fake only: the test program finds them with
// GetProcAddress, which tells it the fake is the wpcap.dll loaded.
typedef FakeWpcapState *(*FakeWpcapStateFn)();
typedef int (*FakeWpcapCommandFn)(const char *line); // 1 when the bus's slaves said "ok"
}
