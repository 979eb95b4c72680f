// The SyncManager and FMMU fields of SOEM's slave entry, filled from and
// read as the wire formats' entries.
#ifndef ETHERCAT_SOEM_FIELDS_H
#define ETHERCAT_SOEM_FIELDS_H

#include <soem/soem.h>

#include <ecwire/le.h>
#include <ecwire/registers.h>

namespace ethercat {

// ec_smt: start, length, and the entry's last four bytes (control, status,
// activate, PDI control) as one little-endian word.
inline ec_smt smOf(const ecwire::SmEntry &e)
{
    uint8_t b[ecwire::sm::EntrySize];
    ecwire::encodeSm(b, e);
    return ec_smt{e.physicalStart, e.length, ecwire::getU32(b + ecwire::sm::Control)};
}

inline ecwire::SmEntry smEntryOf(const ec_smt &s)
{
    uint8_t b[ecwire::sm::EntrySize];
    ecwire::putU16(b + ecwire::sm::PhysicalStart, s.StartAddr);
    ecwire::putU16(b + ecwire::sm::Length, s.SMlength);
    ecwire::putU32(b + ecwire::sm::Control, s.SMflags);
    return ecwire::decodeSm(b);
}

inline ec_fmmut fmmuOf(const ecwire::FmmuEntry &e)
{
    ec_fmmut f{};
    f.LogStart = e.logicalStart;
    f.LogLength = e.length;
    f.LogStartbit = e.logicalStartBit;
    f.LogEndbit = e.logicalStopBit;
    f.PhysStart = e.physicalStart;
    f.PhysStartBit = e.physicalStartBit;
    f.FMMUtype = e.type;
    f.FMMUactive = e.activate;
    return f;
}

// FMMU n's job as the SII gives it (FMMU0func .. FMMU3func).
static_assert(EC_MAXFMMU == 4, "one field per FMMU");
inline uint8_t &fmmuFunc(ec_slavet &s, int n)
{
    switch (n) {
    case 0: return s.FMMU0func;
    case 1: return s.FMMU1func;
    case 2: return s.FMMU2func;
    default: return s.FMMU3func;
    }
}
inline uint8_t fmmuFunc(const ec_slavet &s, int n)
{
    return fmmuFunc(const_cast<ec_slavet &>(s), n);
}

} // namespace ethercat

#endif
