// The master's Windows port over the stand-in for Npcap's wpcap.dll
// (fake_wpcap.cpp, loaded under Wine with WINEDLLOVERRIDES=wpcap=n): the
// adapter list as Npcap gives it, how adapters are opened, the receive wait
// on the read event, and the whole pressure link over it.
#include "harness.h"
#include "stderr_capture.h"

#include "fake_wpcap.h"

#include "clock.h"
#include "port/platform.h"
#include "port/windows/timer_period.h"
#include "port/windows/wpcap_api.h"

#include "pressure_link.h"

#include <soem/soem.h>

#include <ecwire/frame.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The fake's state, once the port has loaded wpcap.dll; null when the
// wpcap.dll loaded is not the fake (then nothing here means anything).
FakeWpcapState *fake()
{
    std::string why;
    if (!ethercat::wpcap::api(&why))
        return nullptr;
    HMODULE m = GetModuleHandleW(L"wpcap.dll");
    auto fn = m ? reinterpret_cast<FakeWpcapStateFn>(
                      reinterpret_cast<void (*)()>(GetProcAddress(m, "fake_wpcap_state")))
                : nullptr;
    return fn ? fn() : nullptr;
}

bool busCommand(const char *line)
{
    HMODULE m = GetModuleHandleW(L"wpcap.dll");
    auto fn = reinterpret_cast<FakeWpcapCommandFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(m, "fake_wpcap_command")));
    return fn && fn(line) == 1;
}

struct Listed {
    std::string name, desc;
};

std::vector<Listed> adapterList()
{
    std::vector<Listed> out;
    ec_adaptert *list = ec_find_adapters();
    for (ec_adaptert *a = list; a; a = a->next)
        out.push_back({a->name, a->desc});
    ec_free_adapters(list);
    return out;
}

// A BRD of the AL status register: every slave answers it.
std::vector<uint8_t> probeFrame()
{
    const uint8_t dst[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const uint8_t src[6] = {0x00, 0x45, 0x43, 0x4D, 0x53, 0x54};
    ecwire::FrameBuilder b(dst, src);
    uint8_t data[2] = {};
    b.add(ecwire::Command::BRD, 0x42, ecwire::makeAddress(0, 0x0130), data, sizeof data);
    return b.finish();
}

} // namespace

WT_CASE("npcap", adapterListInNpcapsOrderWithItsNames)
{
    REQUIRE(fake());
    const std::vector<Listed> got = adapterList();
    // Npcap's order and texts; the loopback adapter left out; an adapter
    // without a description shows its name.
    REQUIRE(got.size() == 4u);
    CHECK_EQ(got[0].name, std::string(FAKE_BUS_ADAPTER));
    CHECK_EQ(got[0].desc, std::string(FAKE_BUS_DESC));
    CHECK_EQ(got[1].name, std::string(FAKE_SILENT_ADAPTER));
    CHECK_EQ(got[1].desc, std::string(FAKE_SILENT_DESC));
    CHECK_EQ(got[2].name, std::string(FAKE_DENIED_ADAPTER));
    CHECK_EQ(got[2].desc, std::string(FAKE_DENIED_ADAPTER));
    CHECK_EQ(got[3].name, std::string(FAKE_WIFI_ADAPTER));
    CHECK_EQ(got[3].desc, std::string(FAKE_WIFI_DESC));
}

WT_CASE("npcap", adapterListFailureSaysNpcapsReason)
{
    FakeWpcapState *s = fake();
    REQUIRE(s);
    s->failFindAllDevs = 1;
    testsupport::StderrCapture err;
    CHECK(adapterList().empty());
    const std::string said = err.text();
    s->failFindAllDevs = 0;
    CHECK(said.find(FAKE_NO_DRIVER_ERROR) != std::string::npos);
}

WT_CASE("npcap", openAsTheSpecialisedCaptureNeeds)
{
    FakeWpcapState *s = fake();
    REQUIRE(s);
    std::string why;
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(FAKE_BUS_ADAPTER, &why));
    REQUIRE(port);
    CHECK_EQ(s->lastSnapLen, 65536);
    CHECK(s->lastFlags & PCAP_OPENFLAG_PROMISCUOUS);
    CHECK(s->lastFlags & PCAP_OPENFLAG_NOCAPTURE_LOCAL);
    CHECK(s->lastFlags & PCAP_OPENFLAG_MAX_RESPONSIVENESS);
    CHECK_EQ(std::string(s->lastFilter), std::string("ether proto 0x88a4"));
    CHECK_EQ(s->nonBlocking, 1);
    CHECK_EQ(s->opens, 1);
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), 1);
    port.reset();
    CHECK_EQ(s->opens, 0);
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), 0);
}

WT_CASE("npcap", ownFramesAreNotReadBack)
{
    FakeWpcapState *s = fake();
    REQUIRE(s);
    std::string why;
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(FAKE_BUS_ADAPTER, &why));
    REQUIRE(port);
    const std::vector<uint8_t> sent = probeFrame();
    REQUIRE(port->send(sent.data(), sent.size()));
    uint8_t buf[1514];
    const int n = port->receive(buf, sizeof buf, 100000);
    REQUIRE(n > 0);
    // The slave's reply: the returned mark in the source address, the
    // working counter of the one slave, no copy of what went out.
    CHECK(buf[6] & ecwire::eth::SourceReturnedBit);
    ecwire::ParsedFrame parsed;
    REQUIRE(ecwire::parseFrame(buf, size_t(n), parsed) == ecwire::ParseError::None);
    CHECK_EQ(parsed.datagrams.size(), size_t(1));
    CHECK_EQ(parsed.datagrams[0].wkc, uint16_t(1));
    CHECK_EQ(s->ownFramesCaptured, 0);
    CHECK_EQ(port->receive(buf, sizeof buf, 1000), 0);
}

WT_CASE("npcap", receiveWakesOnTheReadEvent)
{
    FakeWpcapState *s = fake();
    REQUIRE(s);
    std::string why;
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(FAKE_BUS_ADAPTER, &why));
    REQUIRE(port);
    s->replyDelayUs = 20000;
    const std::vector<uint8_t> sent = probeFrame();
    REQUIRE(port->send(sent.data(), sent.size()));
    uint8_t buf[1514];
    const int64_t t0 = ethercat::nowUs();
    const int n = port->receive(buf, sizeof buf, 3000000);
    const int64_t took = ethercat::nowUs() - t0;
    s->replyDelayUs = 0;
    CHECK(n > 0);
    // Woken by the frame, not by the end of the 3 s wait.
    CHECK(took >= 15000);
    CHECK(took < 1500000);
    wintest::note("reply 20 ms late, received after " + std::to_string(took) + " us");
}

WT_CASE("npcap", receiveTimesOutOnASilentWire)
{
    std::string why;
    std::unique_ptr<ethercat::Transport> port(ethercat::openAdapter(FAKE_SILENT_ADAPTER, &why));
    REQUIRE(port);
    uint8_t buf[1514];
    for (int timeoutUs : {0, 300, 2000}) {
        const int64_t t0 = ethercat::nowUs();
        CHECK_EQ(port->receive(buf, sizeof buf, timeoutUs), 0);
        const int64_t took = ethercat::nowUs() - t0;
        CHECK(took >= timeoutUs);
        CHECK(took < 1000000);
        wintest::note("timeout " + std::to_string(timeoutUs) + " us took " + std::to_string(took) + " us");
    }
}

WT_CASE("npcap", refusedOpenNamesAdapterAndReason)
{
    FakeWpcapState *s = fake();
    REQUIRE(s);
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt{});
    {
        testsupport::StderrCapture err;
        CHECK_EQ(ecx_init(ctx.get(), FAKE_DENIED_ADAPTER), 0);
        const std::string said = err.text();
        CHECK(said.find(FAKE_DENIED_ADAPTER) != std::string::npos);
        CHECK(said.find(FAKE_DENIED_ERROR) != std::string::npos);
        CHECK(said.find("run the program as administrator") != std::string::npos);
    }
    {
        testsupport::StderrCapture err;
        CHECK_EQ(ecx_init(ctx.get(), "\\Device\\NPF_{00000000-0000-0000-0000-000000000000}"), 0);
        CHECK(err.text().find(FAKE_NO_DEVICE_ERROR) != std::string::npos);
    }
    {
        // Opened, then refused: the handle goes back.
        testsupport::StderrCapture err;
        CHECK_EQ(ecx_init(ctx.get(), FAKE_WIFI_ADAPTER), 0);
        CHECK(err.text().find("not an Ethernet adapter (link type 105)") != std::string::npos);
    }
    CHECK_EQ(s->opens, 0);
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), 0);
}

WT_CASE("npcap", pressureLinkRunsOverNpcap)
{
    FakeWpcapState *s = fake();
    REQUIRE(s);
    REQUIRE(busCommand("pressure 1013.25"));
    REQUIRE(ecat_connect(FAKE_BUS_ADAPTER) == 1);
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), 1);
    CHECK(s->eventsHandedOut >= 1);
    for (int i = 0; i < 100; ++i) {
        float pressure = 0;
        int valid = 0, over = -1, under = -1;
        if (ecat_read(&pressure, &valid, &over, &under) != 1) {
            CHECK(false);
            break;
        }
        CHECK_EQ(pressure, 101325.0f);
        CHECK_EQ(valid, 1);
    }
    int state = 0, wkc = 0;
    CHECK_EQ(ecat_check(&state, &wkc), 1);
    CHECK_EQ(state, EC_STATE_OPERATIONAL);
    CHECK_EQ(wkc, 1);
    ecat_disconnect();
    CHECK_EQ(s->opens, 0);
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), 0);
}
