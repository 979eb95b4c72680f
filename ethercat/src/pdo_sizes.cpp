#include "pdo_sizes.h"

#include "coe.h"
#include "engine.h"
#include "report.h"
#include "soem_fields.h"

#include <ecwire/le.h>
#include <ecwire/mailbox.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

#include <algorithm>
#include <string>
#include <vector>

namespace ethercat {

namespace {

constexpr uint32_t kBitLengthMask = 0xFF; // low byte of a mapping entry
constexpr uint8_t kMaxEntries = 254;
constexpr size_t kTypeWidth = 1;          // a SyncManager type
constexpr size_t kAssignWidth = 2;        // a PDO index
constexpr size_t kMappingWidth = 4;       // index << 16 | subindex << 8 | bit length
constexpr int kDefaultOutSm = 2;
constexpr int kDefaultInSm = 3;

// Reads list-like objects (sub 0 the count, subs 1..count values of one
// width) of one slave over CoE: with complete access while the slave
// announces it and has not refused it, else subindex by subindex.
class ListReader {
public:
    ListReader(ecx_contextt *c, uint16_t slave) : c_(c), slave_(slave) {}

    bool read(uint16_t index, size_t width, std::vector<uint32_t> &out, SdoError *err)
    {
        const bool announced = (c_->slavelist[slave_].CoEdetails & ecwire::sii::CoeCompleteAccess) != 0;
        if (announced && !bookOf(c_, slave_).caRefused) {
            if (readComplete(index, width, out, err))
                return true;
            if (err->kind == SdoError::NoReply)
                return false;
            // Announced and still refused (or answered with something
            // unusable): each subindex on its own from now on. An abort
            // saying the object does not exist refuses nothing, unless the
            // object answers subindex by subindex after all.
            const bool missing = err->kind == SdoError::Aborted && err->abortCode == ecwire::coe::AbortNoObject;
            const bool ok = readEach(index, width, out, err);
            if (ok || !missing)
                bookOf(c_, slave_).caRefused = true;
            return ok;
        }
        return readEach(index, width, out, err);
    }

private:
    static uint32_t value(const uint8_t *p, size_t width)
    {
        return width == kTypeWidth ? p[0] : width == kAssignWidth ? ecwire::getU16(p) : ecwire::getU32(p);
    }

    // Complete access from subindex 0: the count then the values back to
    // back, the count taking 16 bits (ETG.1000.6, SDO with complete access:
    // subindex 0 is transferred padded to 16 bits). A reply too short for the
    // count it gives is not used.
    bool readComplete(uint16_t index, size_t width, std::vector<uint32_t> &out, SdoError *err)
    {
        out.clear();
        std::vector<uint8_t> d;
        if (!sdoUpload(c_, slave_, index, 0, true, d, err))
            return false;
        const size_t first = ecwire::coe::CompleteAccessSub0Size;
        const size_t count = d.empty() ? 0 : d[0];
        if (d.size() < first || count > kMaxEntries || d.size() < first + count * width) {
            err->kind = SdoError::Other;
            err->text = "complete access to " + hex(index, 4) + " gave " + std::to_string(d.size())
                + " bytes for " + std::to_string(count) + " entries";
            return false;
        }
        for (size_t k = 0; k < count; ++k)
            out.push_back(value(d.data() + first + k * width, width));
        return true;
    }

    bool readEach(uint16_t index, size_t width, std::vector<uint32_t> &out, SdoError *err)
    {
        out.clear();
        std::vector<uint8_t> d;
        if (!sdoUpload(c_, slave_, index, 0, false, d, err))
            return false;
        if (d.empty() || d[0] > kMaxEntries) {
            err->kind = SdoError::Other;
            err->text = d.empty() ? "empty entry count" : "implausible entry count " + std::to_string(d[0]);
            return false;
        }
        const uint8_t count = d[0];
        for (uint8_t k = 1; k <= count; ++k) {
            if (!sdoUpload(c_, slave_, index, k, false, d, err))
                return false;
            if (d.size() < width) {
                err->kind = SdoError::Other;
                err->text = "entry " + std::to_string(k) + " shorter than " + std::to_string(width) + " bytes";
                return false;
            }
            out.push_back(value(d.data(), width));
        }
        return true;
    }

    ecx_contextt *c_;
    uint16_t slave_;
};

// Sum of the mapped bit lengths (padding entries included) of the PDOs that
// `assign` lists.
bool assignedBits(ListReader &r, uint16_t assign, uint32_t *bits, SdoError *err)
{
    std::vector<uint32_t> pdos;
    if (!r.read(assign, kAssignWidth, pdos, err))
        return false;
    uint32_t sum = 0;
    std::vector<uint32_t> entries;
    for (uint32_t pdo : pdos) {
        if (pdo == 0)
            continue;
        if (!r.read(uint16_t(pdo), kMappingWidth, entries, err))
            return false;
        for (uint32_t e : entries)
            sum += e & kBitLengthMask;
    }
    *bits = sum;
    return true;
}

bool typesProcessData(const ec_slavet &s, int entries)
{
    for (int i = 0; i < entries; ++i)
        if (s.SMtype[i] == ecwire::sii::SmOutputs || s.SMtype[i] == ecwire::sii::SmInputs)
            return true;
    return false;
}

// Where the SII does not say which SyncManagers carry process data, 0x1C00
// may: its types fill in the entries the SII leaves untyped.
bool typesFromCoe(ListReader &r, ec_slavet &s, SlaveBook &b, SdoError *err)
{
    std::vector<uint32_t> types;
    if (!r.read(ecwire::coe::SmTypes, kTypeWidth, types, err))
        return false;
    for (size_t n = 0; n < types.size() && n < size_t(EC_MAXSM); ++n) {
        if (n >= b.smCount) {
            s.SM[n] = ec_smt{};
            s.SMtype[n] = ecwire::sii::SmUnused;
            b.smCount = uint8_t(n + 1);
        }
        if (s.SMtype[n] == ecwire::sii::SmUnused)
            s.SMtype[n] = uint8_t(types[n]);
    }
    return true;
}

const char *sourceText(SizeSource s)
{
    switch (s) {
    case SizeSource::CoE: return "the CoE PDO assignment";
    case SizeSource::SiiPdo: return "the SII PDO categories";
    case SizeSource::SiiSyncManager: return "the SII SyncManager lengths";
    case SizeSource::None: break;
    }
    return "nowhere";
}

} // namespace

int processDataSm(const ec_slavet &s, int entries, bool outputs)
{
    const uint8_t type = outputs ? ecwire::sii::SmOutputs : ecwire::sii::SmInputs;
    for (int i = 0; i < entries; ++i)
        if (s.SMtype[i] == type)
            return i;
    if (typesProcessData(s, entries))
        return -1; // typed, and none for this direction
    // The usual SyncManager, or the next one without another job.
    int smi = outputs ? kDefaultOutSm : kDefaultInSm;
    while (smi < entries && s.SMtype[smi] != ecwire::sii::SmUnused)
        ++smi;
    return std::min(smi, EC_MAXSM - 1);
}

namespace {

// Length the SII gives the process-data SyncManager of one direction.
uint32_t smDefaultBits(const ec_slavet &s, int entries, bool outputs)
{
    const int smi = processDataSm(s, entries, outputs);
    return smi >= 0 && smi < entries ? uint32_t(s.SM[smi].SMlength) * 8 : 0;
}

// The SII's answer for one direction when CoE gave none.
SizeSource fromSii(const ec_slavet &s, const SlaveBook &b, bool outputs, uint32_t *bits)
{
    if (outputs ? b.siiPdoOut : b.siiPdoIn) {
        *bits = outputs ? b.siiObits : b.siiIbits;
        return SizeSource::SiiPdo;
    }
    *bits = smDefaultBits(s, b.smCount, outputs);
    return *bits ? SizeSource::SiiSyncManager : SizeSource::None;
}

} // namespace

void findPdoSizes(ecx_contextt *c, uint16_t slave)
{
    ec_slavet &s = c->slavelist[slave];
    SlaveBook &b = bookOf(c, slave);
    uint32_t bits[2] = {0, 0}; // outputs, inputs
    SizeSource source[2] = {SizeSource::None, SizeSource::None};
    std::string coeWhy;
    // Over CoE whenever the slave's mailbox offers it, whatever its CoE
    // details announce; a slave whose mailbox stopped answering is not asked
    // again.
    const bool coe = (s.mbx_proto & ecwire::sii::ProtoCoE) && sdoMailbox(s);
    // The mailbox works from PRE-OP on: a slave seen stuck in INIT is not asked.
    const uint16_t state = b.alLast & ecwire::al::StateMask;
    const bool mailboxDown = state == ecwire::al::Init || state == ecwire::al::Boot;
    if (coe && mailboxDown)
        coeWhy = std::string("the slave is in ") + stateText(b.alLast) + ", its mailbox does not answer";
    if (coe && !mailboxDown) {
        ListReader reader(c, slave);
        SdoError typesErr;
        // Without 0x1C00 (it may be missing) the usual SyncManagers count.
        const bool silent = !typesProcessData(s, b.smCount) && !typesFromCoe(reader, s, b, &typesErr)
            && typesErr.kind == SdoError::NoReply;
        if (silent)
            coeWhy = typesErr.text;
        bool ok[2] = {false, false};
        for (int dir = 0; dir < 2 && !silent; ++dir) {
            SdoError err;
            const int smi = processDataSm(s, b.smCount, dir == 0);
            if (smi < 0) { // no SyncManager for this direction: nothing assigned
                ok[dir] = true;
                continue;
            }
            ok[dir] = assignedBits(reader, uint16_t(ecwire::coe::PdoAssignBase + smi), &bits[dir], &err);
            if (!ok[dir]) {
                coeWhy += (coeWhy.empty() ? "" : "; ") + err.text;
                if (err.kind == SdoError::NoReply)
                    break;
            }
        }
        if (ok[0] && ok[1] && bits[0] + bits[1] == 0) {
            coeWhy = "the CoE PDO assignment lists no process data";
            ok[0] = ok[1] = false;
        }
        for (int dir = 0; dir < 2; ++dir)
            if (ok[dir])
                source[dir] = SizeSource::CoE;
    }
    for (int dir = 0; dir < 2; ++dir)
        if (source[dir] != SizeSource::CoE)
            source[dir] = fromSii(s, b, dir == 0, &bits[dir]);

    // One line when a fallback was taken: CoE offered but not used, or
    // neither CoE nor PDO categories and the SyncManager lengths give sizes.
    // A direction the fallback leaves empty is not named.
    const bool fellBack[2] = {(coe && source[0] != SizeSource::CoE) || source[0] == SizeSource::SiiSyncManager,
                              (coe && source[1] != SizeSource::CoE) || source[1] == SizeSource::SiiSyncManager};
    b.sizesFallback.clear();
    if (fellBack[0] || fellBack[1]) {
        std::string line = "ecx_config_map_group: slave " + std::to_string(slave);
        if (s.name[0])
            line += std::string(" (") + s.name + ")";
        const bool named[2] = {fellBack[0] && source[0] != SizeSource::None,
                               fellBack[1] && source[1] != SizeSource::None};
        if (named[0] && named[1] && source[0] == source[1])
            line += std::string(": PDO sizes from ") + sourceText(source[0]);
        else if (named[0] && named[1])
            line += std::string(": outputs from ") + sourceText(source[0]) + ", inputs from " + sourceText(source[1]);
        else if (named[0])
            line += std::string(": outputs from ") + sourceText(source[0]);
        else if (named[1])
            line += std::string(": inputs from ") + sourceText(source[1]);
        else
            line += ": no process data found";
        b.sizesFallback = coe ? coeWhy : "no CoE, no PDOs in the SII";
        line += " (" + b.sizesFallback + ")";
        report(c, line);
    }

    b.outputsFrom = source[0];
    b.inputsFrom = source[1];
    const uint32_t obits = bits[0], ibits = bits[1];
    s.Obits = uint16_t(obits > 0xFFFF ? 0xFFFF : obits);
    s.Ibits = uint16_t(ibits > 0xFFFF ? 0xFFFF : ibits);
    s.Obytes = (obits + 7) / 8;
    s.Ibytes = (ibits + 7) / 8;
}

} // namespace ethercat
