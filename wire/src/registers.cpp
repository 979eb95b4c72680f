#include "ecwire/registers.h"

namespace ecwire {

const char *al::stateName(uint16_t state)
{
    switch (state & StateMask) {
    case Init: return "INIT";
    case PreOp: return "PRE-OP";
    case Boot: return "BOOT";
    case SafeOp: return "SAFE-OP";
    case Op: return "OP";
    default: return "unknown";
    }
}

void encodeFmmu(uint8_t *p, const FmmuEntry &e)
{
    putU32(p + fmmu::LogicalStart, e.logicalStart);
    putU16(p + fmmu::Length, e.length);
    putU8(p + fmmu::LogicalStartBit, e.logicalStartBit);
    putU8(p + fmmu::LogicalStopBit, e.logicalStopBit);
    putU16(p + fmmu::PhysicalStart, e.physicalStart);
    putU8(p + fmmu::PhysicalStartBit, e.physicalStartBit);
    putU8(p + fmmu::Type, e.type);
    putU8(p + fmmu::Activate, e.activate);
    for (size_t i = 0; i < fmmu::ReservedSize; ++i)
        p[fmmu::Reserved + i] = 0;
}

FmmuEntry decodeFmmu(const uint8_t *p)
{
    FmmuEntry e;
    e.logicalStart = getU32(p + fmmu::LogicalStart);
    e.length = getU16(p + fmmu::Length);
    e.logicalStartBit = getU8(p + fmmu::LogicalStartBit);
    e.logicalStopBit = getU8(p + fmmu::LogicalStopBit);
    e.physicalStart = getU16(p + fmmu::PhysicalStart);
    e.physicalStartBit = getU8(p + fmmu::PhysicalStartBit);
    e.type = getU8(p + fmmu::Type);
    e.activate = getU8(p + fmmu::Activate);
    return e;
}

void encodeSm(uint8_t *p, const SmEntry &e)
{
    putU16(p + sm::PhysicalStart, e.physicalStart);
    putU16(p + sm::Length, e.length);
    putU8(p + sm::Control, e.control);
    putU8(p + sm::Status, e.status);
    putU8(p + sm::Activate, e.activate);
    putU8(p + sm::PdiControl, e.pdiControl);
}

SmEntry decodeSm(const uint8_t *p)
{
    SmEntry e;
    e.physicalStart = getU16(p + sm::PhysicalStart);
    e.length = getU16(p + sm::Length);
    e.control = getU8(p + sm::Control);
    e.status = getU8(p + sm::Status);
    e.activate = getU8(p + sm::Activate);
    e.pdiControl = getU8(p + sm::PdiControl);
    return e;
}

} // namespace ecwire
