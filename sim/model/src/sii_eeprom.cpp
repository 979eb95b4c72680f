// The SII EEPROM behind registers 0x0500-0x050F, as the ESC drives it:
// - after power-up the ESC loads the EEPROM: busy, "not loaded" (bit 12),
//   and no station alias until it is done;
// - a command written to 0x0502 starts at the end of the frame that wrote
//   it; a read of status or data in that frame sees the previous command;
// - busy (bit 15) stays set for the EEPROM's time; while busy, commands are
//   not started and the address and data registers keep their value;
// - a read that the EEPROM does not acknowledge sets the command error
//   (bit 13) and leaves the data register as it was; a write command without
//   write enable sets bit 14; the error bits stay until command 000 clears
//   them;
// - the data register delivers 4 or 8 bytes per read (bit 6).
#include "ecwire/registers.h"
#include "slave.h"

namespace ecsim {

using namespace ecwire;

namespace {
constexpr uint16_t ErrorBits = reg::SiiCommandError | reg::SiiWriteEnableError;
constexpr uint64_t ReloadReads = 10; // a reload reads the configuration area
} // namespace

void Slave::initSii()
{
    std::string error;
    if (!buildSiiImage(device_.sii, sii_, &error))
        sii_.clear(); // device tables are fixed; an empty image reads as all 0xFFFF
}

void Slave::powerUp(uint64_t nowNs)
{
    nowNs_ = nowNs;
    poweredNs_ = nowNs;
    siiBusy_ = false;
    uint16_t status = device_.sii8ByteReads ? reg::SiiRead8Bytes : 0;
    if (device_.timing.eepromLoadNs > 0) {
        status |= reg::SiiBusy | reg::SiiDeviceInfoError;
        mem_.setU16(reg::StationAlias, 0);
        mem_.setU16(reg::PdiControl, 0);
        mem_.setU16(reg::DlStatus, mem_.u16(reg::DlStatus) & ~reg::DlStatusPdiOperational);
        mem_.setWritable(reg::SiiAddress, reg::SiiEnd, false);
    }
    mem_.setU16(reg::SiiControl, status);
    siiDue();
}

bool Slave::eepromLoaded() const { return nowNs_ >= poweredNs_ + device_.timing.eepromLoadNs; }

void Slave::loadStationAlias()
{
    mem_.setU16(reg::StationAlias, sii_.size() > sii::StationAlias ? sii_[sii::StationAlias] : 0);
}

void Slave::siiDue()
{
    if (!(mem_.u16(reg::DlStatus) & reg::DlStatusPdiOperational) && eepromLoaded()) {
        // Loaded: the configuration area is in its registers.
        loadStationAlias();
        mem_.setU16(reg::PdiControl, device_.sii.pdiControl);
        mem_.setU16(reg::DlStatus, mem_.u16(reg::DlStatus) | reg::DlStatusPdiOperational);
        mem_.setU16(reg::SiiControl, mem_.u16(reg::SiiControl) & ~(reg::SiiBusy | reg::SiiDeviceInfoError));
        mem_.setWritable(reg::SiiAddress, reg::SiiEnd, true);
    }
    if (!siiBusy_ || nowNs_ < siiDueNs_)
        return;
    siiBusy_ = false;
    uint16_t status = mem_.u16(reg::SiiControl) & ~(reg::SiiBusy | reg::SiiCmdMask);
    if (siiCommand_ == reg::SiiCmdRead) {
        ++stats_.siiReads;
        if (siiNacks_ > 0) {
            --siiNacks_;
            ++stats_.siiNacks;
            status |= reg::SiiCommandError;
        } else {
            const uint32_t address = mem_.u32(reg::SiiAddress);
            const unsigned words = device_.sii8ByteReads ? 4 : 2;
            for (unsigned i = 0; i < words; ++i) {
                const uint64_t a = uint64_t(address) + i;
                mem_.setU16(static_cast<uint16_t>(reg::SiiData + 2 * i), a < sii_.size() ? sii_[a] : 0xFFFF);
            }
        }
    } else if (siiCommand_ == reg::SiiCmdReload) {
        loadStationAlias();
    } else if (siiCommand_ == reg::SiiCmdWrite) {
        status |= reg::SiiCommandError; // the EEPROM is write-protected: no acknowledge
    }
    mem_.setU16(reg::SiiControl, status);
    mem_.setWritable(reg::SiiAddress, reg::SiiEnd, true);
}

void Slave::siiControlWritten(uint16_t written)
{
    uint16_t status = mem_.u16(reg::SiiControl);
    if (status & reg::SiiBusy)
        return; // not started while busy (or still loading)
    const uint16_t command = written & reg::SiiCmdMask;
    status = static_cast<uint16_t>((status & ~reg::SiiWriteEnable) | (written & reg::SiiWriteEnable));
    bool start = false;
    uint64_t took = 0;
    switch (command) {
    case 0:
        status &= ~ErrorBits;
        break;
    case reg::SiiCmdRead:
        start = true;
        took = device_.timing.siiReadNs;
        break;
    case reg::SiiCmdReload:
        start = true;
        took = device_.timing.siiReadNs * ReloadReads;
        break;
    case reg::SiiCmdWrite:
        if (written & reg::SiiWriteEnable) {
            start = true;
            took = device_.timing.siiReadNs;
        } else {
            status |= reg::SiiWriteEnableError;
        }
        break;
    default:
        status |= reg::SiiCommandError; // more than one command bit
        break;
    }
    if (start) {
        siiBusy_ = true;
        siiCommand_ = command;
        siiDueNs_ = nowNs_ + took;
        status |= reg::SiiBusy | command;
        mem_.setWritable(reg::SiiAddress, reg::SiiEnd, false);
    }
    mem_.setU16(reg::SiiControl, status);
}

} // namespace ecsim
