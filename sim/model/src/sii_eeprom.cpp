// The SII EEPROM behind registers 0x0500-0x050F. Reads complete at once; the
// busy flag stays up until the master has read the control register once.
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

void Slave::initSii()
{
    std::string error;
    if (!buildSiiImage(device_.sii, sii_, &error))
        sii_.clear(); // device tables are fixed; an empty image reads as all 0xFFFF
    mem_.setU16(reg::StationAlias, sii_.size() > sii::StationAlias ? sii_[sii::StationAlias] : 0);
    mem_.setU16(reg::PdiControl, device_.sii.pdiControl);
    mem_.setU16(reg::SiiControl, device_.sii8ByteReads ? reg::SiiRead8Bytes : 0);
}

void Slave::onSiiControl(uint16_t written)
{
    uint16_t status = mem_.u16(reg::SiiControl);
    const uint16_t keep = device_.sii8ByteReads ? reg::SiiRead8Bytes : 0;
    const uint16_t command = written & reg::SiiCmdMask;
    const uint16_t writeEnable = written & reg::SiiWriteEnable;
    if (status & reg::SiiBusy)
        return; // commands are ignored while busy
    status = static_cast<uint16_t>(keep | writeEnable);
    if (command == reg::SiiCmdRead) {
        const uint32_t address = mem_.u32(reg::SiiAddress);
        const unsigned words = device_.sii8ByteReads ? 4 : 2;
        for (unsigned i = 0; i < words; ++i) {
            const uint64_t a = uint64_t(address) + i;
            mem_.setU16(static_cast<uint16_t>(reg::SiiData + 2 * i), a < sii_.size() ? sii_[a] : 0xFFFF);
        }
        status |= reg::SiiBusy;
    } else if (command == reg::SiiCmdReload) {
        mem_.setU16(reg::StationAlias, sii_.size() > sii::StationAlias ? sii_[sii::StationAlias] : 0);
        status |= reg::SiiBusy;
    } else if (command != 0) {
        status |= reg::SiiCommandError; // writes (the EEPROM is read-only) and mixed commands
    }
    mem_.setU16(reg::SiiControl, status);
}

} // namespace ecsim
