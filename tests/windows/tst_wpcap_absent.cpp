// Without Npcap (wpcap.dll disabled under Wine: WINEDLLOVERRIDES=wpcap=d)
// the program still starts: the adapter list is empty and says why, and a
// connect fails with the adapter's name and the reason.
#include "harness.h"
#include "stderr_capture.h"

#include "port/windows/timer_period.h"

#include "pressure_link.h"

#include <soem/soem.h>

#include <memory>

WT_CASE("no-wpcap", adapterListIsEmptyAndSaysWhy)
{
    testsupport::StderrCapture err;
    ec_adaptert *list = ec_find_adapters();
    const std::string said = err.text();
    CHECK(list == nullptr);
    ec_free_adapters(list);
    wintest::note("stderr: " + said);
    CHECK(said.find("wpcap.dll was not found: Npcap is not installed") != std::string::npos);
}

WT_CASE("no-wpcap", initNamesAdapterAndMissingNpcap)
{
    const char *name = "\\Device\\NPF_{6A1C5C4E-0C23-4E6B-9A3B-1B2C3D4E5F60}";
    std::unique_ptr<ecx_contextt> ctx(new ecx_contextt{});
    testsupport::StderrCapture err;
    const int rc = ecx_init(ctx.get(), name);
    const std::string said = err.text();
    CHECK_EQ(rc, 0);
    CHECK(said.find(name) != std::string::npos);
    CHECK(said.find("Npcap is not installed") != std::string::npos);
    CHECK_EQ(ethercat::TimerPeriod::heldCount(), 0);
}

WT_CASE("no-wpcap", linkConnectFails)
{
    testsupport::StderrCapture err;
    CHECK_EQ(ecat_connect("\\Device\\NPF_{6A1C5C4E-0C23-4E6B-9A3B-1B2C3D4E5F60}"), 0);
    float p = -1;
    int valid = -1, over = -1, under = -1;
    CHECK_EQ(ecat_read(&p, &valid, &over, &under), 0);
    CHECK_EQ(valid, -1);
    ecat_disconnect();
}
