#include "pdo_sizes.h"

#include "coe.h"

#include <ecwire/le.h>
#include <ecwire/sii.h>

#include <vector>

namespace ecmaster {

namespace {

constexpr uint16_t kRxPdoAssign = 0x1C12; // PDOs of SyncManager 2: outputs
constexpr uint16_t kTxPdoAssign = 0x1C13; // PDOs of SyncManager 3: inputs
constexpr uint32_t kBitLengthMask = 0xFF; // low byte of a mapping entry
constexpr uint8_t kMaxEntries = 254;

// Values of an array-like object: subindex 0 holds the count, subindexes
// 1..count hold `width`-byte values.
bool readList(ecx_contextt *c, uint16_t slave, uint16_t index, size_t width, std::vector<uint32_t> &out,
              std::string *why)
{
    out.clear();
    const bool ca = (c->slavelist[slave].coe_details & ecwire::sii::CoeCompleteAccess) != 0;
    std::vector<uint8_t> d;
    if (ca) {
        if (!sdoUpload(c, slave, index, 0, true, d, why))
            return false;
        if (d.empty()) {
            *why = "empty complete-access reply";
            return false;
        }
        const size_t count = d[0];
        // Subindex 0 takes one byte, or two when the slave pads it to 16
        // bits: the values have an even width, so the parity of the size tells.
        const size_t first = (d.size() % 2 == 1) ? 1 : 2;
        if (d.size() < first + count * width) {
            *why = "complete-access reply shorter than its count";
            return false;
        }
        for (size_t k = 0; k < count; ++k) {
            const uint8_t *p = d.data() + first + k * width;
            out.push_back(width == 2 ? ecwire::getU16(p) : ecwire::getU32(p));
        }
        return true;
    }
    if (!sdoUpload(c, slave, index, 0, false, d, why))
        return false;
    if (d.empty()) {
        *why = "empty count";
        return false;
    }
    const uint8_t count = d[0];
    if (count > kMaxEntries) {
        *why = "implausible entry count";
        return false;
    }
    for (uint8_t k = 1; k <= count; ++k) {
        if (!sdoUpload(c, slave, index, k, false, d, why))
            return false;
        if (d.size() < width) {
            *why = "entry shorter than " + std::to_string(width) + " bytes";
            return false;
        }
        out.push_back(width == 2 ? ecwire::getU16(d.data()) : ecwire::getU32(d.data()));
    }
    return true;
}

// Sum of the mapped bit lengths of the PDOs that `assign` lists.
bool assignedBits(ecx_contextt *c, uint16_t slave, uint16_t assign, uint32_t *bits, std::string *why)
{
    std::vector<uint32_t> pdos;
    if (!readList(c, slave, assign, 2, pdos, why))
        return false;
    uint32_t sum = 0;
    std::vector<uint32_t> entries;
    for (uint32_t pdo : pdos) {
        if (!readList(c, slave, uint16_t(pdo), 4, entries, why))
            return false;
        for (uint32_t e : entries)
            sum += e & kBitLengthMask;
    }
    *bits = sum;
    return true;
}

} // namespace

void findPdoSizes(ecx_contextt *c, uint16_t slave)
{
    ec_slavet &s = c->slavelist[slave];
    uint32_t obits = s.sii_obits;
    uint32_t ibits = s.sii_ibits;
    s.pdo_from_coe = 0;
    const bool coe = (s.mbx_proto & ecwire::sii::ProtoCoE) && (s.coe_details & ecwire::sii::CoeSdo)
        && (s.coe_details & ecwire::sii::CoePdoAssign);
    if (coe) {
        std::string why;
        uint32_t bits = 0;
        if (assignedBits(c, slave, kRxPdoAssign, &bits, &why)) {
            obits = bits;
            s.pdo_from_coe = 1;
        }
        if (assignedBits(c, slave, kTxPdoAssign, &bits, &why)) {
            ibits = bits;
            s.pdo_from_coe = 1;
        }
    }
    s.Obits = uint16_t(obits > 0xFFFF ? 0xFFFF : obits);
    s.Ibits = uint16_t(ibits > 0xFFFF ? 0xFFFF : ibits);
    s.Obytes = (obits + 7) / 8;
    s.Ibytes = (ibits + 7) / 8;
}

} // namespace ecmaster
