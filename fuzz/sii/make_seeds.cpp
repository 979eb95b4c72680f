// Seed program for the SII target: EEPROM images of devices like the ones
// the simulator plays (the CoE pressure sensor, the sensor without mailbox,
// digital outputs and inputs), built with the same image builder.
#include "seed_writer.h"

#include <ecwire/sii.h>

#ifdef FUZZ_SEEDS_FROM_BUS
#include "bus_capture.h"
#endif

#include <cstdio>

using namespace ecwire;

namespace {

SiiDevice base(uint32_t product, const char *name)
{
    SiiDevice d;
    d.vendorId = 0x00000ECA;
    d.productCode = product;
    d.revision = 0x00010000;
    d.serial = 1;
    d.strings = {name, "Pressure", "sensor image"};
    d.hasGeneral = true;
    d.general.groupIdx = 2;
    d.general.nameIdx = 1;
    d.general.ebusCurrentMa = 100;
    d.fmmus = {sii::FmmuOutputs, sii::FmmuInputs, sii::FmmuMailboxStatus, sii::FmmuUnused};
    return d;
}

SiiPdo pdo(uint16_t index, uint8_t sm, std::initializer_list<std::pair<uint16_t, uint8_t>> entries)
{
    SiiPdo p;
    p.index = index;
    p.syncManager = sm;
    uint8_t sub = 1;
    for (const auto &e : entries) {
        SiiPdoEntry en;
        en.index = e.first;
        en.subindex = sub++;
        en.bitLength = e.second;
        en.dataType = e.second == 8 ? 0x05 : 0x08;
        p.entries.push_back(en);
    }
    return p;
}

bool put(const std::string &name, const SiiDevice &d)
{
    std::vector<uint16_t> words;
    std::string error;
    if (!buildSiiImage(d, words, &error)) {
        std::fprintf(stderr, "%s: %s\n", name.c_str(), error.c_str());
        return false;
    }
    return fuzzseeds::write(name, fuzzseeds::wordsToBytes(words));
}

} // namespace

int main(int argc, char **argv)
{
    if (!fuzzseeds::init(argc, argv))
        return 2;
    bool ok = true;

    SiiDevice sensor = base(0x50524553, "Pressure sensor");
    sensor.mbxRxOffset = 0x1000; sensor.mbxRxSize = 128;
    sensor.mbxTxOffset = 0x1080; sensor.mbxTxSize = 128;
    sensor.mailboxProtocols = sii::ProtoCoE;
    sensor.general.coeDetails = sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess;
    sensor.syncManagers = {{0x1000, 128, 0x26, 0, 1, sii::SmMailboxOut},
                           {0x1080, 128, 0x22, 0, 1, sii::SmMailboxIn},
                           {0x1100, 0, 0x64, 0, 0, sii::SmOutputs},
                           {0x1180, 5, 0x20, 0, 1, sii::SmInputs}};
    sensor.txPdos = {pdo(0x1A00, 3, {{0x6000, 8}, {0x6000, 32}})};
    ok &= put("sensor-coe", sensor);

    SiiDevice plain = sensor;
    plain.mbxRxSize = plain.mbxTxSize = 0;
    plain.mailboxProtocols = 0;
    plain.general.coeDetails = 0;
    plain.syncManagers = {{0x1100, 0, 0x64, 0, 0, sii::SmOutputs}, {0x1180, 5, 0x20, 0, 1, sii::SmInputs}};
    ok &= put("sensor-sii-only", plain);

    SiiDevice out = base(0x0000D001, "Digital outputs");
    out.syncManagers = {{0x0F00, 1, 0x44, 0, 1, sii::SmOutputs}};
    out.rxPdos = {pdo(0x1600, 0, {{0x7000, 1}, {0x7000, 1}, {0x7000, 1}, {0x7000, 1}, {0x7000, 4}})};
    ok &= put("dig-out", out);

    SiiDevice in = base(0x0000D002, "Digital inputs");
    in.syncManagers = {{0x1000, 2, 0x00, 0, 1, sii::SmInputs}};
    in.txPdos = {pdo(0x1A00, 0, {{0x6000, 8}, {0x6000, 8}})};
    ok &= put("dig-in", in);

    // A header alone, and a header whose first category is the end marker.
    SiiDevice bare;
    ok &= put("header-only", bare);

#ifdef FUZZ_SEEDS_FROM_BUS
    // The images the simulator itself serves, as the master read them.
    const char *const buses[] = {"sensor,dig-out,dig-in,short-sensor", "sensor-sii,big-in"};
    for (size_t b = 0; b < sizeof buses / sizeof buses[0]; ++b) {
        fuzzbus::Capture c;
        fuzzbus::captureBringUp(buses[b], c);
        for (const auto &image : c.siiImages) {
            char name[64];
            std::snprintf(name, sizeof name, "simulator-bus%zu-station-%04x", b + 1, unsigned(image.first));
            ok &= fuzzseeds::write(name, fuzzseeds::wordsToBytes(image.second));
        }
    }
#endif
    return ok ? 0 : 1;
}
