#include <ecprobe/bringup.h>

#include <algorithm>

#include <ecwire/le.h>
#include <ecwire/mailbox.h>
#include <ecwire/registers.h>

namespace ecprobe {

namespace al = ecwire::al;
namespace reg = ecwire::reg;
namespace sii = ecwire::sii;
namespace sm = ecwire::sm;

namespace {

constexpr uint16_t Alignment = 0x80;

uint16_t align(uint32_t v) { return static_cast<uint16_t>((v + Alignment - 1) / Alignment * Alignment); }

// Bits of one assignment object (0x1C12 or 0x1C13) and the PDOs it names.
bool assignedBits(Probe &p, const SlaveMapping &s, uint16_t assign, uint32_t &bits)
{
    std::vector<uint8_t> d;
    if (!p.upload(s.station, s.mailbox, assign, 0, false, d) || d.empty())
        return false;
    bits = 0;
    for (uint8_t i = 1; i <= d[0]; ++i) {
        std::vector<uint8_t> pdo, n;
        if (!p.upload(s.station, s.mailbox, assign, i, false, pdo) || pdo.size() < 2)
            return false;
        const uint16_t index = ecwire::getU16(pdo.data());
        if (!p.upload(s.station, s.mailbox, index, 0, false, n) || n.empty())
            return false;
        for (uint8_t e = 1; e <= n[0]; ++e) {
            std::vector<uint8_t> entry;
            if (!p.upload(s.station, s.mailbox, index, e, false, entry) || entry.size() < 4)
                return false;
            bits += ecwire::getU32(entry.data()) & 0xFF;
        }
    }
    return true;
}

// Where the process-data SyncManagers go and how they are set up: the SII's
// entries, or after the mailboxes.
void placeProcessData(const SlaveMapping &s, uint16_t &outStart, uint8_t &outControl, uint16_t &inStart,
                      uint8_t &inControl)
{
    outControl = sm::ControlOutputs;
    inControl = sm::ControlInputs;
    uint32_t end = reg::ProcessRam;
    if (s.mailbox.present())
        end = std::max<uint32_t>({end, uint32_t(s.mailbox.outStart) + s.mailbox.outSize,
                                  uint32_t(s.mailbox.inStart) + s.mailbox.inSize});
    outStart = align(end);
    inStart = static_cast<uint16_t>(outStart + std::max<uint32_t>(Alignment, align(s.outputBytes)));
    for (const ecwire::SiiSyncManager &e : s.sii.syncManagers) {
        if (e.type == sii::SmOutputs) {
            outStart = e.start;
            outControl = e.control;
        } else if (e.type == sii::SmInputs) {
            inStart = e.start;
            inControl = e.control;
        }
    }
}

void sizes(Probe &p, SlaveMapping &s)
{
    if (s.sii.hasCoe() && coeSizes(p, s, s.outputBytes, s.inputBytes)) {
        s.sizesFrom = "CoE";
        return;
    }
    uint32_t outBits = 0, inBits = 0;
    for (size_t i = 0; i < s.sii.syncManagers.size(); ++i) {
        const uint8_t type = s.sii.syncManagers[i].type;
        if (type == sii::SmOutputs)
            outBits += s.sii.pdoBits(static_cast<uint8_t>(i));
        else if (type == sii::SmInputs)
            inBits += s.sii.pdoBits(static_cast<uint8_t>(i));
    }
    if (s.sii.syncManagers.empty()) { // PDOs name their SyncManager: 2 outputs, 3 inputs
        outBits = s.sii.pdoBits(2);
        inBits = s.sii.pdoBits(3);
    }
    if (!s.sii.txPdos.empty() || !s.sii.rxPdos.empty()) {
        s.outputBytes = (outBits + 7) / 8;
        s.inputBytes = (inBits + 7) / 8;
        s.sizesFrom = "SII PDOs";
        return;
    }
    for (const ecwire::SiiSyncManager &e : s.sii.syncManagers) {
        if (e.type == sii::SmOutputs)
            s.outputBytes = e.length;
        else if (e.type == sii::SmInputs)
            s.inputBytes = e.length;
    }
    s.sizesFrom = "SII SyncManagers";
}

} // namespace

bool coeSizes(Probe &p, const SlaveMapping &s, uint32_t &outputBytes, uint32_t &inputBytes)
{
    uint32_t outBits = 0, inBits = 0;
    if (!assignedBits(p, s, ecwire::coe::RxPdoAssign, outBits)
        || !assignedBits(p, s, ecwire::coe::TxPdoAssign, inBits))
        return false;
    outputBytes = (outBits + 7) / 8;
    inputBytes = (inBits + 7) / 8;
    return true;
}

BringUp bringUpBus(Probe &p, uint16_t state)
{
    BringUp r;
    std::string &e = r.error;
    const int count = p.countSlaves();
    if (count <= 0) {
        e = count < 0 ? p.error() : "no slave answers";
        return r;
    }
    if (!p.assignStations(static_cast<size_t>(count))) {
        e = p.error();
        return r;
    }
    uint32_t logical = 0;
    for (int i = 0; i < count; ++i) {
        SlaveMapping s;
        s.station = Probe::station(static_cast<size_t>(i));
        std::vector<uint16_t> words;
        uint16_t features = 0;
        uint16_t pdi = 0;
        if (!p.read16(s.station, reg::PdiControl, pdi)) {
            e = p.error();
            return r;
        }
        // An ESC in device emulation copies AL control into AL status, so an
        // acknowledge would read back as an error; it has none to clear.
        const uint16_t ack = (pdi & reg::PdiDeviceEmulation) ? 0 : al::ErrorFlag;
        if (!p.requestState(s.station, al::Init | ack) || !p.readSiiImage(s.station, words)
            || !p.read16(s.station, reg::Features, features)) {
            e = p.error();
            return r;
        }
        if (!ecwire::parseSiiImage(words, s.sii, &e))
            return r;
        s.lrw = !(features & reg::FeatureNoLrw);
        s.mailbox = mailboxOf(s.sii);
        if (s.mailbox.present()
            && (!p.writeSm(s.station, 0, s.mailbox.outStart, s.mailbox.outSize, sm::ControlMailboxOut)
                || !p.writeSm(s.station, 1, s.mailbox.inStart, s.mailbox.inSize, sm::ControlMailboxIn))) {
            e = p.error();
            return r;
        }
        if (!p.requestState(s.station, al::PreOp)) {
            e = p.error();
            return r;
        }
        sizes(p, s);
        uint16_t outStart = 0, inStart = 0;
        uint8_t outControl = 0, inControl = 0;
        placeProcessData(s, outStart, outControl, inStart, inControl);
        s.outputLogical = logical;
        s.inputLogical = logical + s.outputBytes;
        logical += s.outputBytes + s.inputBytes;
        const auto out = static_cast<uint16_t>(s.outputBytes), in = static_cast<uint16_t>(s.inputBytes);
        if ((out && (!p.writeSm(s.station, 2, outStart, out, outControl)
                     || !p.writeFmmu(s.station, 0, s.outputLogical, out, outStart, ecwire::fmmu::TypeWrite)))
            || (in && (!p.writeSm(s.station, 3, inStart, in, inControl)
                       || !p.writeFmmu(s.station, 1, s.inputLogical, in, inStart, ecwire::fmmu::TypeRead)))) {
            e = p.error();
            return r;
        }
        r.outputBytes += s.outputBytes;
        r.inputBytes += s.inputBytes;
        if (s.lrw)
            r.expectedLrwWkc = static_cast<uint16_t>(r.expectedLrwWkc + (out ? 2 : 0) + (in ? 1 : 0));
        r.slaves.push_back(std::move(s));
    }
    for (const SlaveMapping &s : r.slaves) {
        if (!p.requestState(s.station, al::SafeOp) || (state == al::Op && !p.requestState(s.station, al::Op))) {
            e = p.error();
            return r;
        }
    }
    r.ok = true;
    return r;
}

} // namespace ecprobe
