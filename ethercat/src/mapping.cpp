// Process-data mapping: SyncManager 2/3 lengths, FMMUs, the image layout.
#include "pdo_sizes.h"
#include "txrx.h"

#include <ecwire/registers.h>
#include <ecwire/sii.h>

#include <algorithm>
#include <cstdio>

using namespace ecmaster;
namespace reg = ecwire::reg;

namespace {

constexpr uint32_t kGroupSpacing = 0x100000; // logical address space between groups
constexpr int kDefaultOutSm = 2;
constexpr int kDefaultInSm = 3;

bool inGroup(const ec_slavet &s, uint8_t group)
{
    return group == 0 || s.group == group;
}

// SyncManager the SII gives for a process-data direction, or -1.
int smOfType(const ec_slavet &s, uint8_t type)
{
    for (int i = 0; i < s.sm_count; ++i)
        if (s.sm[i].type == type)
            return i;
    return -1;
}

// FMMU for a direction: the one the SII names, else the first free one.
int pickFmmu(const ec_slavet &s, uint8_t func, int taken)
{
    for (int i = 0; i < s.fmmu_count; ++i)
        if (s.fmmu_func[i] == func && i != taken)
            return i;
    for (int i = 0; i < EC_MAXFMMU; ++i) {
        const bool unusedInSii = i >= s.fmmu_count || s.fmmu_func[i] == ecwire::sii::FmmuUnused;
        if (unusedInSii && i != taken)
            return i;
    }
    return -1;
}

// Sets one direction's SyncManager and FMMU. Returns the FMMU used or -1.
int mapDirection(ecx_contextt *c, int slave, bool outputs, uint32_t logical, uint32_t bytes, int takenFmmu)
{
    const ec_slavet &s = c->slavelist[slave];
    const uint8_t type = outputs ? ecwire::sii::SmOutputs : ecwire::sii::SmInputs;
    int smi = smOfType(s, type);
    ecwire::SmEntry sm;
    if (smi >= 0) {
        sm.physicalStart = s.sm[smi].start;
        sm.control = s.sm[smi].control;
    } else {
        smi = outputs ? kDefaultOutSm : kDefaultInSm;
        uint8_t cur[ecwire::sm::EntrySize] = {};
        fprd(c, s.configadr, reg::sm(unsigned(smi)), cur, sizeof cur);
        sm.physicalStart = ecwire::decodeSm(cur).physicalStart;
    }
    if (sm.control == 0)
        sm.control = outputs ? ecwire::sm::ControlOutputs : ecwire::sm::ControlInputs;
    sm.length = uint16_t(bytes);
    sm.activate = bytes ? ecwire::sm::ActivateEnable : 0;
    uint8_t b[ecwire::fmmu::EntrySize] = {};
    ecwire::encodeSm(b, sm);
    fpwr(c, s.configadr, reg::sm(unsigned(smi)), b, ecwire::sm::EntrySize);
    if (bytes == 0)
        return -1;

    const int fi = pickFmmu(s, outputs ? ecwire::sii::FmmuOutputs : ecwire::sii::FmmuInputs, takenFmmu);
    if (fi < 0) {
        std::fprintf(stderr, "ecx_config_map_group: slave %d has no free FMMU for its %s\n", slave,
                     outputs ? "outputs" : "inputs");
        return -1;
    }
    ecwire::FmmuEntry f;
    f.logicalStart = logical;
    f.length = uint16_t(bytes);
    f.logicalStartBit = 0;
    f.logicalStopBit = 7;
    f.physicalStart = sm.physicalStart;
    f.type = outputs ? ecwire::fmmu::TypeWrite : ecwire::fmmu::TypeRead;
    f.activate = 1;
    ecwire::encodeFmmu(b, f);
    fpwr(c, s.configadr, reg::fmmu(unsigned(fi)), b, ecwire::fmmu::EntrySize);
    return fi;
}

// Working counter one LRW exchange of the group returns when every slave
// answers, frame by frame as the image is split.
uint16_t expectedWkc(ecx_contextt *c, uint8_t group, uint32_t total)
{
    uint32_t wkc = 0;
    for (uint32_t from = 0; from < total; from += ecwire::dgram::MaxData) {
        const uint32_t to = std::min<uint32_t>(total, from + uint32_t(ecwire::dgram::MaxData));
        for (int i = 1; i <= c->slavecount; ++i) {
            const ec_slavet &s = c->slavelist[i];
            if (!inGroup(s, group))
                continue;
            const uint32_t base = c->grouplist[group].logstartaddr;
            auto overlaps = [&](uint32_t addr, uint32_t n) { return n && addr - base < to && addr - base + n > from; };
            if (overlaps(s.out_logaddr, s.Obytes))
                wkc += 2;
            if (overlaps(s.in_logaddr, s.Ibytes))
                wkc += 1;
        }
    }
    return uint16_t(std::min<uint32_t>(wkc, 0xFFFF));
}

} // namespace

extern "C" int ecx_config_map_group(ecx_contextt *context, void *pIOmap, uint8 group)
{
    if (!engineOf(context) || !pIOmap || group >= EC_MAXGROUP || context->slavecount <= 0)
        return 0;
    ecx_contextt *c = context;
    auto *image = static_cast<uint8_t *>(pIOmap);
    ec_groupt &g = c->grouplist[group];
    g.logstartaddr = uint32_t(group) * kGroupSpacing;

    uint32_t obytes = 0, ibytes = 0, outSlaves = 0, inSlaves = 0;
    for (int i = 1; i <= c->slavecount; ++i) {
        if (!inGroup(c->slavelist[i], group))
            continue;
        findPdoSizes(c, uint16_t(i));
        obytes += c->slavelist[i].Obytes;
        ibytes += c->slavelist[i].Ibytes;
    }
    // Outputs of all slaves first, then all inputs.
    uint32_t onext = 0, inext = obytes;
    for (int i = 1; i <= c->slavecount; ++i) {
        ec_slavet &s = c->slavelist[i];
        if (!inGroup(s, group))
            continue;
        s.outputs = image + onext;
        s.inputs = image + inext;
        s.out_logaddr = g.logstartaddr + onext;
        s.in_logaddr = g.logstartaddr + inext;
        const int fo = mapDirection(c, i, true, s.out_logaddr, s.Obytes, -1);
        mapDirection(c, i, false, s.in_logaddr, s.Ibytes, fo);
        outSlaves += s.Obytes ? 1 : 0;
        inSlaves += s.Ibytes ? 1 : 0;
        onext += s.Obytes;
        inext += s.Ibytes;
    }
    g.outputs = image;
    g.Obytes = obytes;
    g.inputs = image + obytes;
    g.Ibytes = ibytes;
    g.outputsWKC = uint16_t(outSlaves);
    g.inputsWKC = uint16_t(inSlaves);
    g.expectedWKC = expectedWkc(c, group, obytes + ibytes);
    ec_slavet &all = c->slavelist[0];
    all.outputs = g.outputs;
    all.Obytes = obytes;
    all.Obits = uint16_t(std::min<uint32_t>(obytes * 8, 0xFFFF));
    all.inputs = g.inputs;
    all.Ibytes = ibytes;
    all.Ibits = uint16_t(std::min<uint32_t>(ibytes * 8, 0xFFFF));

    // Every mapped slave to SAFE-OP.
    for (int i = 1; i <= c->slavecount; ++i) {
        ec_slavet &s = c->slavelist[i];
        if (inGroup(s, group))
            fpwrU16(c, s.configadr, reg::AlControl, EC_STATE_SAFE_OP);
    }
    return int(obytes + ibytes);
}
