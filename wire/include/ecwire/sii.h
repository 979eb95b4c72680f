// SII EEPROM image: the fixed header words and the categories that follow.
// The builder turns a device description into words; the parser turns words
// read back from a slave into the same description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace ecwire {
namespace sii {

// Word addresses of the fixed header
constexpr uint16_t PdiControl = 0x0000;
constexpr uint16_t PdiConfig = 0x0001;
constexpr uint16_t SyncImpulseLength = 0x0002;
constexpr uint16_t ExtPdiConfig = 0x0003;
constexpr uint16_t StationAlias = 0x0004;
constexpr uint16_t Checksum = 0x0007;       // CRC-8 over words 0-6 (14 bytes), low byte
constexpr uint16_t VendorId = 0x0008;       // 2 words
constexpr uint16_t ProductCode = 0x000A;    // 2 words
constexpr uint16_t Revision = 0x000C;       // 2 words
constexpr uint16_t SerialNumber = 0x000E;   // 2 words
constexpr uint16_t BootRxMailboxOffset = 0x0014;
constexpr uint16_t BootRxMailboxSize = 0x0015;
constexpr uint16_t BootTxMailboxOffset = 0x0016;
constexpr uint16_t BootTxMailboxSize = 0x0017;
constexpr uint16_t StdRxMailboxOffset = 0x0018; // master to slave
constexpr uint16_t StdRxMailboxSize = 0x0019;
constexpr uint16_t StdTxMailboxOffset = 0x001A; // slave to master
constexpr uint16_t StdTxMailboxSize = 0x001B;
constexpr uint16_t MailboxProtocols = 0x001C;
constexpr uint16_t EepromSize = 0x003E;     // kbit - 1
constexpr uint16_t Version = 0x003F;
constexpr uint16_t FirstCategory = 0x0040;
constexpr size_t ChecksumBytes = 14;

// Mailbox protocol bits
constexpr uint16_t ProtoAoE = 1u << 0;
constexpr uint16_t ProtoEoE = 1u << 1;
constexpr uint16_t ProtoCoE = 1u << 2;
constexpr uint16_t ProtoFoE = 1u << 3;
constexpr uint16_t ProtoSoE = 1u << 4;
constexpr uint16_t ProtoVoE = 1u << 5;

// Category header: type word, size word (data size in words)
constexpr size_t CategoryHeaderWords = 2;
constexpr uint16_t CatStrings = 10;
constexpr uint16_t CatGeneral = 30;
constexpr uint16_t CatFmmu = 40;
constexpr uint16_t CatSyncManager = 41;
constexpr uint16_t CatTxPdo = 50;
constexpr uint16_t CatRxPdo = 51;
constexpr uint16_t CatDc = 60;
constexpr uint16_t CatEnd = 0xFFFF;

// General category, byte offsets
namespace general {
constexpr size_t GroupIdx = 0, ImageIdx = 1, OrderIdx = 2, NameIdx = 3, Reserved = 4;
constexpr size_t CoeDetails = 5, FoeDetails = 6, EoeDetails = 7, SoeChannels = 8;
constexpr size_t Ds402Channels = 9, SysmanClass = 10, Flags = 11;
constexpr size_t EbusCurrent = 12; // 2 bytes, signed mA
constexpr size_t Size = 32;
static_assert(EbusCurrent + 2 <= Size, "general category fields fit");
} // namespace general

// CoE details bits
constexpr uint8_t CoeSdo = 1u << 0;
constexpr uint8_t CoeSdoInfo = 1u << 1;
constexpr uint8_t CoePdoAssign = 1u << 2;
constexpr uint8_t CoePdoConfig = 1u << 3;
constexpr uint8_t CoeUploadAtStartup = 1u << 4;
constexpr uint8_t CoeCompleteAccess = 1u << 5;

// FMMU category: one byte per FMMU
constexpr uint8_t FmmuUnused = 0, FmmuOutputs = 1, FmmuInputs = 2, FmmuMailboxStatus = 3;
constexpr uint8_t FmmuNotUsed = 0xFF; // ETG.2010 FMMU category: 0xFF marks an FMMU not used as well

// SyncManager category: 8 bytes per SM
namespace smcat {
constexpr size_t Start = 0, Length = 2, Control = 4, Status = 5, Enable = 6, Type = 7;
constexpr size_t EntrySize = 8;
static_assert(Type + 1 == EntrySize, "SyncManager category entry is 8 bytes");
} // namespace smcat
constexpr uint8_t SmUnused = 0, SmMailboxOut = 1, SmMailboxIn = 2, SmOutputs = 3, SmInputs = 4;

// PDO categories. A PDO's SyncManager 0xFF marks an alternative the device
// offers but does not exchange until it is assigned.
constexpr uint8_t PdoNotAssigned = 0xFF;
namespace pdo {
constexpr size_t Index = 0, EntryCount = 2, SyncManager = 3, Synchronisation = 4, NameIdx = 5,
                 Flags = 6;
constexpr size_t HeaderSize = 8;
static_assert(Flags + 2 == HeaderSize, "PDO header is 8 bytes");
namespace entry {
constexpr size_t Index = 0, Subindex = 2, NameIdx = 3, DataType = 4, BitLength = 5, Flags = 6;
constexpr size_t Size = 8;
static_assert(Flags + 2 == Size, "PDO entry is 8 bytes");
} // namespace entry
} // namespace pdo

} // namespace sii

struct SiiPdoEntry {
    uint16_t index = 0;
    uint8_t subindex = 0;
    uint8_t nameIdx = 0;
    uint8_t dataType = 0;
    uint8_t bitLength = 0;
    uint16_t flags = 0;
};

struct SiiPdo {
    uint16_t index = 0;
    uint8_t syncManager = 0;
    uint8_t synchronisation = 0;
    uint8_t nameIdx = 0;
    uint16_t flags = 0;
    std::vector<SiiPdoEntry> entries;
    uint32_t bits() const;
    // False for an alternative the device offers (SyncManager 0xFF).
    bool assigned() const { return syncManager != sii::PdoNotAssigned; }
};

struct SiiSyncManager {
    uint16_t start = 0;
    uint16_t length = 0;
    uint8_t control = 0;
    uint8_t status = 0;
    uint8_t enable = 0;
    uint8_t type = sii::SmUnused;
};

struct SiiGeneral {
    uint8_t groupIdx = 0, imageIdx = 0, orderIdx = 0, nameIdx = 0;
    uint8_t coeDetails = 0, foeDetails = 0, eoeDetails = 0, soeChannels = 0;
    uint8_t ds402Channels = 0, sysmanClass = 0, flags = 0;
    int16_t ebusCurrentMa = 0;
};

struct SiiDevice {
    // Fixed header
    uint16_t pdiControl = 0, pdiConfig = 0, syncImpulseLength = 0, extPdiConfig = 0;
    uint16_t alias = 0;
    uint32_t vendorId = 0, productCode = 0, revision = 0, serial = 0;
    uint16_t bootRxOffset = 0, bootRxSize = 0, bootTxOffset = 0, bootTxSize = 0;
    uint16_t mbxRxOffset = 0, mbxRxSize = 0; // master to slave (SM0)
    uint16_t mbxTxOffset = 0, mbxTxSize = 0; // slave to master (SM1)
    uint16_t mailboxProtocols = 0;
    uint16_t eepromSizeKbitMinus1 = 0;
    uint16_t version = 1;

    // Categories
    std::vector<std::string> strings; // string index i (1-based) is strings[i-1]
    bool hasGeneral = false;
    SiiGeneral general;
    std::vector<uint8_t> fmmus;       // sii::Fmmu* per FMMU
    std::vector<SiiSyncManager> syncManagers;
    std::vector<SiiPdo> txPdos;       // inputs
    std::vector<SiiPdo> rxPdos;       // outputs

    // Filled by the parser
    bool checksumOk = false;
    // Categories the parser could not read and left out, each in words
    // ("TxPDO category at word 0x0052: ..."); the others are kept.
    std::vector<std::string> skipped;

    bool hasMailbox() const { return mbxRxSize != 0 && mbxTxSize != 0; }
    bool hasCoe() const { return hasMailbox() && (mailboxProtocols & sii::ProtoCoE) != 0; }
    // String by 1-based index; empty for 0 or out of range.
    std::string string(uint8_t index) const;
    std::string name() const { return hasGeneral ? string(general.nameIdx) : std::string(); }
    // Sum of the entry bit lengths of all PDOs (Tx and Rx) assigned to SyncManager `sm`.
    uint32_t pdoBits(uint8_t sm) const;
    uint32_t outputBits() const; // assigned RxPDOs
    uint32_t inputBits() const;  // assigned TxPDOs
};

uint8_t siiCrc8(const uint8_t *bytes, size_t count); // poly 0x07, init 0xFF
// CRC of words 0-6 as stored in the low byte of word 7.
uint8_t siiHeaderCrc(const std::vector<uint16_t> &words);

// Builds the EEPROM image (words, ending with the end marker). Fails only when
// a string is longer than 255 bytes or there are more than 255 strings, PDOs
// or entries; `error` says which.
bool buildSiiImage(const SiiDevice &device, std::vector<uint16_t> &words, std::string *error = nullptr);

// How far the image in `words` is known: Complete when the end marker (or the
// end of the words when `words` covers a whole EEPROM) is reached,
// NeedMore with *wordsNeeded set to the word count to read next, Malformed when
// a category header is impossible.
enum class SiiScan { Complete, NeedMore, Malformed };
SiiScan scanSiiImage(const std::vector<uint16_t> &words, size_t *wordsNeeded);

// Parses an image read back from a slave. Every category length is checked
// against the words at hand; unknown categories are skipped. A category whose
// content cannot be read is left out whole and named in SiiDevice::skipped,
// and the categories around it are still read (of a SyncManager category the
// complete entries are kept); a category running past the words ends the
// parse there. Fails only when the fixed header is incomplete. A checksum
// mismatch does not fail the parse (see SiiDevice::checksumOk).
bool parseSiiImage(const std::vector<uint16_t> &words, SiiDevice &out, std::string *error = nullptr);

} // namespace ecwire
