// Register map of the EtherCAT slave controller (ESC), the layouts of the FMMU
// and SyncManager entries, AL states and status codes, SII interface bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ecwire/le.h"

namespace ecwire {
namespace reg {

// Identification
constexpr uint16_t Type = 0x0000;
constexpr uint16_t Revision = 0x0001;
constexpr uint16_t Build = 0x0002;          // 2 bytes
constexpr uint16_t FmmusSupported = 0x0004;
constexpr uint16_t SyncManagersSupported = 0x0005;
constexpr uint16_t RamSizeKib = 0x0006;
constexpr uint16_t PortDescriptor = 0x0007;
constexpr uint16_t Features = 0x0008;       // 2 bytes
constexpr uint16_t FeatureDc = 1u << 2;
constexpr uint16_t FeatureDc64 = 1u << 3;
constexpr uint16_t FeatureNoLrw = 1u << 9;  // the ESC does not take LRW (LRD + LWR instead)

// Addresses
constexpr uint16_t StationAddress = 0x0010; // 2 bytes
constexpr uint16_t StationAlias = 0x0012;   // 2 bytes

// Data link
constexpr uint16_t DlControl = 0x0100;      // 4 bytes
constexpr uint16_t DlLoopControl = 0x0101;
constexpr uint16_t DlControlAliasByte = 0x0103;           // bit 0: station alias enabled
constexpr uint16_t DlStatus = 0x0110;       // 2 bytes
constexpr uint16_t DlStatusPdiOperational = 1u << 0; // EEPROM loaded, device information there
constexpr uint16_t DlStatusLinkPort0 = 1u << 4;
constexpr uint16_t DlStatusLinkPort1 = 1u << 5;
constexpr uint16_t DlStatusCommPort0 = 1u << 9;
constexpr uint16_t DlStatusCommPort1 = 1u << 11;

// Application layer
constexpr uint16_t AlControl = 0x0120;      // 2 bytes
constexpr uint16_t AlStatus = 0x0130;       // 2 bytes
constexpr uint16_t AlStatusCode = 0x0134;   // 2 bytes
constexpr uint16_t PdiControl = 0x0140;     // 2 bytes (loaded from SII word 0)
// PDI control bit 8 (ESC configuration 0x0141 bit 0), device emulation: an
// ESC without a processor behind it copies AL control into AL status.
constexpr uint16_t PdiDeviceEmulation = 1u << 8;

// Events
constexpr uint16_t EventMask = 0x0200;      // 2 bytes
constexpr uint16_t EventRequest = 0x0210;   // 2 bytes

// Error counters
constexpr uint16_t RxErrorCounters = 0x0300; // 8 bytes
constexpr uint16_t LostLinkCounters = 0x0310;

// Watchdogs
constexpr uint16_t WatchdogDivider = 0x0400;       // 2 bytes
constexpr uint16_t WatchdogTimeProcessData = 0x0420; // 2 bytes
constexpr uint16_t WatchdogDividerDefault = 2498;    // 100 us tick
constexpr uint16_t WatchdogTimeProcessDataDefault = 1000; // 100 ms

// SII EEPROM interface
constexpr uint16_t SiiAccess = 0x0500;      // 1 byte: EEPROM configuration
constexpr uint16_t SiiPdiAccess = 0x0501;   // 1 byte: EEPROM PDI access state
// EtherCAT controls the EEPROM interface only while 0x0500 bit 0 and 0x0501
// bit 0 are both clear; writing 0x0500 with bit 1 set clears 0x0501 bit 0.
constexpr uint8_t SiiOfferedToPdi = 1u << 0;    // 0x0500
constexpr uint8_t SiiForceEcatAccess = 1u << 1; // 0x0500
constexpr uint8_t SiiPdiHasAccess = 1u << 0;    // 0x0501
constexpr uint16_t SiiControl = 0x0502;     // 2 bytes: control/status
constexpr uint16_t SiiAddress = 0x0504;     // 4 bytes: word address
constexpr uint16_t SiiData = 0x0508;        // 4 or 8 bytes
constexpr uint16_t SiiEnd = 0x0510;         // one past the interface
constexpr uint16_t SiiWriteEnable = 1u << 0;
constexpr uint16_t SiiRead8Bytes = 1u << 6;
constexpr uint16_t SiiCmdMask = 0x0700;
constexpr uint16_t SiiCmdRead = 0x0100;
constexpr uint16_t SiiCmdWrite = 0x0200;
constexpr uint16_t SiiCmdReload = 0x0400;
constexpr uint16_t SiiChecksumError = 1u << 11;
constexpr uint16_t SiiDeviceInfoError = 1u << 12;  // EEPROM not loaded (yet): no device information
constexpr uint16_t SiiCommandError = 1u << 13;     // no acknowledge from the EEPROM, or invalid command
constexpr uint16_t SiiWriteEnableError = 1u << 14; // write command without write enable
constexpr uint16_t SiiBusy = 1u << 15;

// FMMUs and SyncManagers
constexpr uint16_t FmmuBase = 0x0600;
constexpr uint16_t FmmuStride = 16;
constexpr uint16_t SmBase = 0x0800;
constexpr uint16_t SmStride = 8;
constexpr uint16_t fmmu(unsigned n) { return static_cast<uint16_t>(FmmuBase + FmmuStride * n); }
constexpr uint16_t sm(unsigned n) { return static_cast<uint16_t>(SmBase + SmStride * n); }

// Distributed clocks
constexpr uint16_t DcRecvTimePort0 = 0x0900; // 4 bytes each, ports 0-3; a write latches
constexpr uint16_t DcRecvTimePort1 = 0x0904;
constexpr uint16_t DcRecvTimePort2 = 0x0908;
constexpr uint16_t DcRecvTimePort3 = 0x090C;
constexpr uint16_t DcSystemTime = 0x0910;    // 8 bytes
constexpr uint16_t DcRecvTimeUnit = 0x0918;  // 8 bytes
constexpr uint16_t DcSystemTimeOffset = 0x0920; // 8 bytes
constexpr uint16_t DcSystemTimeDelay = 0x0928;  // 4 bytes
constexpr uint16_t DcTimeDifference = 0x092C;   // 4 bytes
constexpr uint16_t DcSpeedCounterStart = 0x0930; // 2 bytes
constexpr uint16_t DcFilterDepth = 0x0934;
constexpr uint16_t DcCyclicUnitControl = 0x0980;
constexpr uint16_t DcStartTime = 0x0990;
constexpr uint16_t DcCycleTimes = 0x09A0;

// Process RAM
constexpr uint16_t ProcessRam = 0x1000;

} // namespace reg

// AL states (AL control request / AL status current state, bits 0-3)
namespace al {
constexpr uint16_t Init = 0x01;
constexpr uint16_t PreOp = 0x02;
constexpr uint16_t Boot = 0x03;
constexpr uint16_t SafeOp = 0x04;
constexpr uint16_t Op = 0x08;
constexpr uint16_t StateMask = 0x0F;
constexpr uint16_t ErrorFlag = 0x10; // error indication in status, acknowledge in control

// AL status codes
constexpr uint16_t NoError = 0x0000;
constexpr uint16_t InvalidStateChange = 0x0011;
constexpr uint16_t UnknownState = 0x0012;
constexpr uint16_t BootNotSupported = 0x0013;
constexpr uint16_t InvalidMailboxConfig = 0x0016;
constexpr uint16_t SmWatchdog = 0x001B;
constexpr uint16_t InvalidOutputConfig = 0x001D;
constexpr uint16_t InvalidInputConfig = 0x001E;
constexpr uint16_t InvalidWatchdogConfig = 0x001F;

// "INIT", "PRE-OP", ... ; "unknown" for anything else (error bit ignored).
const char *stateName(uint16_t state);
} // namespace al

// FMMU entry, 16 bytes.
namespace fmmu {
constexpr size_t LogicalStart = 0;     constexpr size_t LogicalStartSize = 4;
constexpr size_t Length = 4;           constexpr size_t LengthSize = 2;
constexpr size_t LogicalStartBit = 6;  constexpr size_t LogicalStartBitSize = 1;
constexpr size_t LogicalStopBit = 7;   constexpr size_t LogicalStopBitSize = 1;
constexpr size_t PhysicalStart = 8;    constexpr size_t PhysicalStartSize = 2;
constexpr size_t PhysicalStartBit = 10; constexpr size_t PhysicalStartBitSize = 1;
constexpr size_t Type = 11;            constexpr size_t TypeSize = 1;
constexpr size_t Activate = 12;        constexpr size_t ActivateSize = 1;
constexpr size_t Reserved = 13;        constexpr size_t ReservedSize = 3;
constexpr size_t EntrySize = 16;
static_assert(Reserved + ReservedSize == EntrySize, "FMMU entry is 16 bytes");
static_assert(EntrySize == reg::FmmuStride, "FMMU stride matches the entry");
constexpr uint8_t TypeRead = 0x01;
constexpr uint8_t TypeWrite = 0x02;
} // namespace fmmu

struct FmmuEntry {
    uint32_t logicalStart = 0;
    uint16_t length = 0;
    uint8_t logicalStartBit = 0;
    uint8_t logicalStopBit = 7;
    uint16_t physicalStart = 0;
    uint8_t physicalStartBit = 0;
    uint8_t type = 0;
    uint8_t activate = 0;
};
void encodeFmmu(uint8_t *entry16, const FmmuEntry &e);
FmmuEntry decodeFmmu(const uint8_t *entry16);

// SyncManager entry, 8 bytes.
namespace sm {
constexpr size_t PhysicalStart = 0; constexpr size_t PhysicalStartSize = 2;
constexpr size_t Length = 2;        constexpr size_t LengthSize = 2;
constexpr size_t Control = 4;       constexpr size_t ControlSize = 1;
constexpr size_t Status = 5;        constexpr size_t StatusSize = 1;
constexpr size_t Activate = 6;      constexpr size_t ActivateSize = 1;
constexpr size_t PdiControl = 7;    constexpr size_t PdiControlSize = 1;
constexpr size_t EntrySize = 8;
static_assert(PdiControl + PdiControlSize == EntrySize, "SyncManager entry is 8 bytes");
static_assert(EntrySize == reg::SmStride, "SyncManager stride matches the entry");

constexpr uint8_t ModeMask = 0x03;
constexpr uint8_t ModeBuffered = 0x00;
constexpr uint8_t ModeMailbox = 0x02;
constexpr uint8_t DirMask = 0x0C;
constexpr uint8_t DirRead = 0x00;   // read by the master
constexpr uint8_t DirWrite = 0x04;  // written by the master
constexpr uint8_t EcatEvent = 0x10;
constexpr uint8_t PdiEvent = 0x20;
constexpr uint8_t WatchdogTrigger = 0x40;
constexpr uint8_t StatusMailboxFull = 0x08;
constexpr uint8_t ActivateEnable = 0x01;
constexpr uint8_t ActivateRepeat = 0x02;   // mailbox repeat request, toggled by the master
constexpr uint8_t PdiRepeatAck = 0x02;     // PDI control: the slave's answer to the toggle

// Typical control bytes
constexpr uint8_t ControlMailboxOut = 0x26;
constexpr uint8_t ControlMailboxIn = 0x22;
constexpr uint8_t ControlOutputs = 0x64;
constexpr uint8_t ControlInputs = 0x20;
} // namespace sm

struct SmEntry {
    uint16_t physicalStart = 0;
    uint16_t length = 0;
    uint8_t control = 0;
    uint8_t status = 0;
    uint8_t activate = 0;
    uint8_t pdiControl = 0;
};
void encodeSm(uint8_t *entry8, const SmEntry &e);
SmEntry decodeSm(const uint8_t *entry8);

} // namespace ecwire
