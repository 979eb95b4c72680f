#include "esc_memory.h"

#include "ecwire/registers.h"

namespace ecsim {

using namespace ecwire;

EscMemory::EscMemory(size_t size) : mem_(size, 0), writable_(reg::ProcessRam, 0)
{
    allow(reg::StationAddress, reg::StationAlias + 2);
    allow(reg::DlControl, reg::DlControl + 4);
    allow(reg::AlControl, reg::AlControl + 2);
    allow(reg::EventMask, reg::EventMask + 2);
    allow(reg::RxErrorCounters, reg::LostLinkCounters + 4);
    allow(reg::WatchdogDivider, reg::WatchdogDivider + 2);
    allow(0x0410, 0x0412); // PDI watchdog time
    allow(reg::WatchdogTimeProcessData, reg::WatchdogTimeProcessData + 2);
    allow(reg::SiiAccess, reg::SiiAccess + 1);
    allow(reg::SiiAddress, reg::SiiEnd); // address and data; control is handled by the SII logic
    allow(reg::FmmuBase, reg::FmmuBase + 16 * reg::FmmuStride);
    for (unsigned n = 0; n < 16; ++n) {
        // Start, length, control and activate; status and PDI control belong to the slave.
        allow(reg::sm(n), static_cast<uint16_t>(reg::sm(n) + sm::Status));
        allow(static_cast<uint16_t>(reg::sm(n) + sm::Activate), static_cast<uint16_t>(reg::sm(n) + sm::PdiControl));
    }
    // Distributed clocks: receive times and system time are handled by the DC logic.
    allow(reg::DcSystemTimeOffset, reg::DcTimeDifference);
    allow(reg::DcSpeedCounterStart, 0x0940);
    allow(reg::DcCyclicUnitControl, 0x09B0);
}

void EscMemory::setWritable(uint16_t from, uint16_t to, bool on)
{
    for (uint32_t a = from; a < to && a < writable_.size(); ++a)
        writable_[a] = on ? 1 : 0;
}

void EscMemory::masterWrite(uint16_t address, const uint8_t *src, size_t length)
{
    size_t i = 0;
    // Register area byte by byte, process RAM in one go.
    for (; i < length && size_t(address) + i < writable_.size(); ++i)
        if (writable_[address + i])
            mem_[address + i] = src[i];
    for (; i < length; ++i)
        mem_[address + i] = src[i];
}

} // namespace ecsim
