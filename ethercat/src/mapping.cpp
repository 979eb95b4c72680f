// Process-data mapping: SyncManager 2/3 lengths, FMMUs, the image layout.
#include "pdo_sizes.h"
#include "processdata.h"
#include "soem_fields.h"
#include "states.h"
#include "txrx.h"

#include <ecwire/registers.h>
#include <ecwire/sii.h>

#include <algorithm>
#include <string>

using namespace ethercat;
namespace reg = ecwire::reg;

namespace {

constexpr uint32_t kGroupSpacing = 0x100000; // logical address space between groups
// A buffered SyncManager uses three buffers of its length in the ESC's memory.
constexpr uint32_t kBufferedAreas = 3;

bool inGroup(const ec_slavet &s, uint8_t group)
{
    return group == 0 || s.group == group;
}

// Start of a process-data SyncManager when the SII gives none: process
// memory after the mailbox areas, the outputs' three buffers first.
uint16_t defaultStart(const ec_slavet &s, bool outputs)
{
    uint32_t start = reg::ProcessRam;
    if (s.mbx_l && s.mbx_rl)
        start = std::max({start, uint32_t(s.mbx_wo) + s.mbx_l, uint32_t(s.mbx_ro) + s.mbx_rl});
    if (!outputs)
        start += kBufferedAreas * s.Obytes;
    return uint16_t(std::min<uint32_t>(start, 0xFFFF));
}

// The SyncManager of one direction (processDataSm: the one typed for it,
// else the usual one) with the SII's entry for it when it has one, else the
// standard layout; -1 when the slave has none for this direction. The
// registers themselves are never read back: the reset has just cleared them.
int pickSm(const ec_slavet &s, const SlaveBook &b, bool outputs, ecwire::SmEntry &sm)
{
    const int smi = processDataSm(s, b.smCount, outputs);
    if (smi < 0)
        return -1;
    if (smi < b.smCount) {
        const ecwire::SmEntry sii = smEntryOf(s.SM[smi]);
        sm.physicalStart = sii.physicalStart;
        sm.control = sii.control;
    }
    if (sm.physicalStart == 0)
        sm.physicalStart = defaultStart(s, outputs);
    const uint8_t modeDir = ecwire::sm::ModeMask | ecwire::sm::DirMask;
    const uint8_t wanted = outputs ? (ecwire::sm::ModeBuffered | ecwire::sm::DirWrite)
                                   : (ecwire::sm::ModeBuffered | ecwire::sm::DirRead);
    if (sm.control == 0 || (sm.control & modeDir) != wanted)
        sm.control = outputs ? ecwire::sm::ControlOutputs : ecwire::sm::ControlInputs;
    return smi;
}

// FMMU for a direction: the one the SII names, else the first free one the
// ESC has.
int pickFmmu(const ec_slavet &s, const SlaveBook &b, uint8_t func, int taken)
{
    const int have = b.escFmmus ? std::min<int>(b.escFmmus, EC_MAXFMMU) : EC_MAXFMMU;
    for (int i = 0; i < std::min<int>(b.fmmuCount, have); ++i)
        if (fmmuFunc(s, i) == func && i != taken)
            return i;
    for (int i = 0; i < have; ++i) {
        const bool unusedInSii = i >= b.fmmuCount || fmmuFunc(s, i) == ecwire::sii::FmmuUnused
            || fmmuFunc(s, i) == ecwire::sii::FmmuNotUsed;
        if (unusedInSii && i != taken)
            return i;
    }
    return -1;
}

const std::string kWho = "ecx_config_map_group: slave ";

void complain(ecx_contextt *c, int slave, const char *what, int wkc)
{
    report(c, kWho + std::to_string(slave) + ": " + what + " not set (working counter " + std::to_string(wkc)
                  + ", expected 1)");
}

// Sets one direction's SyncManager and FMMU, and keeps what it set in the
// slave's SM and FMMU entries. Returns the FMMU used or -1 (nothing to map,
// or the slave has no FMMU left for it).
int mapDirection(ecx_contextt *c, int slave, bool outputs, uint32_t logical, uint32_t bytes, int takenFmmu)
{
    ec_slavet &s = c->slavelist[slave];
    const SlaveBook &book = bookOf(c, slave);
    const char *const what = outputs ? "outputs" : "inputs";
    ecwire::SmEntry sm;
    const int smi = pickSm(s, book, outputs, sm);
    if (smi < 0) {
        if (bytes > 0)
            report(c, kWho + std::to_string(slave) + " has no SyncManager for its " + what);
        return -1;
    }
    sm.length = uint16_t(bytes);
    sm.activate = bytes ? ecwire::sm::ActivateEnable : 0;
    uint8_t b[ecwire::fmmu::EntrySize] = {};
    ecwire::encodeSm(b, sm);
    int wkc = fpwr(c, s.configadr, reg::sm(unsigned(smi)), b, ecwire::sm::EntrySize);
    if (wkc == 1)
        s.SM[smi] = smOf(sm);
    if (wkc == 1 && bytes > 0 && s.SMtype[smi] == ecwire::sii::SmUnused)
        s.SMtype[smi] = outputs ? ecwire::sii::SmOutputs : ecwire::sii::SmInputs;
    if (bytes == 0)
        return -1;
    if (wkc != 1) {
        complain(c, slave, outputs ? "outputs SyncManager" : "inputs SyncManager", wkc);
        return -1;
    }

    const int fi = pickFmmu(s, book, outputs ? ecwire::sii::FmmuOutputs : ecwire::sii::FmmuInputs, takenFmmu);
    if (fi < 0) {
        report(c, kWho + std::to_string(slave) + " has no free FMMU for its " + what);
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
    wkc = fpwr(c, s.configadr, reg::fmmu(unsigned(fi)), b, ecwire::fmmu::EntrySize);
    if (wkc != 1) {
        complain(c, slave, outputs ? "outputs FMMU" : "inputs FMMU", wkc);
        return -1;
    }
    s.FMMU[fi] = fmmuOf(f);
    return fi;
}

bool overlaps(uint32_t addr, uint32_t n, uint32_t from, uint32_t length)
{
    return n && addr < from + length && addr + n > from;
}

// Working counter of one exchange of the group when every slave answers,
// frame by frame and datagram by datagram as the image is split: LRW adds 2
// for a slave's outputs and 1 for its inputs, LWR and LRD 1 each. A direction
// without an FMMU adds nothing.
uint16_t expectedWkc(ecx_contextt *c, uint8_t group)
{
    const ec_groupt &g = c->grouplist[group];
    PdFrame frames[kMaxPdFrames];
    const size_t n = planPdFrames(g, frames, kMaxPdFrames);
    uint32_t wkc = 0;
    for (size_t k = 0; k < n; ++k) {
        for (size_t p = 0; p < frames[k].pieces; ++p) {
            const PdPiece &piece = frames[k].piece[p];
            const uint32_t from = g.logstartaddr + piece.offset;
            for (int i = 1; i <= c->slavecount; ++i) {
                const ec_slavet &s = c->slavelist[i];
                if (!inGroup(s, group))
                    continue;
                const SlaveBook &b = bookOf(c, i);
                const bool out = b.outMapped && piece.command != ecwire::Command::LRD
                    && overlaps(g.logstartaddr + s.Ooffset, s.Obytes, from, piece.length);
                const bool in = b.inMapped && piece.command != ecwire::Command::LWR
                    && overlaps(g.logstartaddr + s.Ioffset, s.Ibytes, from, piece.length);
                if (out)
                    wkc += piece.command == ecwire::Command::LRW ? 2 : 1;
                if (in)
                    wkc += 1;
            }
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
    g.blockLRW = 0;

    uint32_t obytes = 0, ibytes = 0, outSlaves = 0, inSlaves = 0;
    for (int i = 1; i <= c->slavecount; ++i) {
        ec_slavet &s = c->slavelist[i];
        if (!inGroup(s, group))
            continue;
        findPdoSizes(c, uint16_t(i));
        obytes += s.Obytes;
        ibytes += s.Ibytes;
        if (s.blockLRW)
            g.blockLRW = 1;
    }
    // Outputs of all slaves first, then all inputs.
    uint32_t onext = 0, inext = obytes;
    for (int i = 1; i <= c->slavecount; ++i) {
        ec_slavet &s = c->slavelist[i];
        if (!inGroup(s, group))
            continue;
        s.outputs = image + onext;
        s.inputs = image + inext;
        s.Ooffset = onext;
        s.Ioffset = inext;
        const int fo = mapDirection(c, i, true, g.logstartaddr + onext, s.Obytes, -1);
        const int fi = mapDirection(c, i, false, g.logstartaddr + inext, s.Ibytes, fo);
        SlaveBook &b = bookOf(c, i);
        b.outMapped = fo >= 0;
        b.inMapped = fi >= 0;
        outSlaves += b.outMapped ? 1 : 0;
        inSlaves += b.inMapped ? 1 : 0;
        onext += s.Obytes;
        inext += s.Ibytes;
    }
    g.outputs = image;
    g.Obytes = obytes;
    g.inputs = image + obytes;
    g.Ibytes = ibytes;
    g.outputsWKC = uint16_t(outSlaves);
    g.inputsWKC = uint16_t(inSlaves);
    stateOf(c).expectedWkc[group] = expectedWkc(c, group);
    ec_slavet &all = c->slavelist[0];
    all.outputs = g.outputs;
    all.Obytes = obytes;
    all.Obits = uint16_t(std::min<uint32_t>(obytes * 8, 0xFFFF));
    all.inputs = g.inputs;
    all.Ibytes = ibytes;
    all.Ibits = uint16_t(std::min<uint32_t>(ibytes * 8, 0xFFFF));

    // Every mapped slave to SAFE-OP.
    for (int i = 1; i <= c->slavecount; ++i) {
        if (inGroup(c->slavelist[i], group))
            requestState(c, i, EC_STATE_SAFE_OP);
    }
    return int(obytes + ibytes);
}
