#include "ecwire/sii.h"

#include "ecwire/hex.h"
#include "ecwire/le.h"

namespace ecwire {

namespace {

void setError(std::string *error, std::string text)
{
    if (error != nullptr)
        *error = std::move(text);
}

// Little-endian byte view of a run of words.
std::vector<uint8_t> wordsToBytes(const std::vector<uint16_t> &words, size_t first, size_t count)
{
    std::vector<uint8_t> bytes(count * 2);
    for (size_t i = 0; i < count; ++i)
        putU16(bytes.data() + 2 * i, words[first + i]);
    return bytes;
}

class WordWriter {
public:
    explicit WordWriter(std::vector<uint16_t> &w) : w_(w) {}
    void category(uint16_t type, std::vector<uint8_t> data)
    {
        if (data.size() % 2)
            data.push_back(0);
        w_.push_back(type);
        w_.push_back(static_cast<uint16_t>(data.size() / 2));
        for (size_t i = 0; i < data.size(); i += 2)
            w_.push_back(getU16(data.data() + i));
    }

private:
    std::vector<uint16_t> &w_;
};

std::vector<uint8_t> pdoCategory(const std::vector<SiiPdo> &pdos)
{
    std::vector<uint8_t> d;
    for (const SiiPdo &p : pdos) {
        const size_t at = d.size();
        d.resize(at + sii::pdo::HeaderSize + p.entries.size() * sii::pdo::entry::Size, 0);
        uint8_t *h = d.data() + at;
        putU16(h + sii::pdo::Index, p.index);
        putU8(h + sii::pdo::EntryCount, static_cast<uint8_t>(p.entries.size()));
        putU8(h + sii::pdo::SyncManager, p.syncManager);
        putU8(h + sii::pdo::Synchronisation, p.synchronisation);
        putU8(h + sii::pdo::NameIdx, p.nameIdx);
        putU16(h + sii::pdo::Flags, p.flags);
        uint8_t *e = h + sii::pdo::HeaderSize;
        for (const SiiPdoEntry &en : p.entries) {
            putU16(e + sii::pdo::entry::Index, en.index);
            putU8(e + sii::pdo::entry::Subindex, en.subindex);
            putU8(e + sii::pdo::entry::NameIdx, en.nameIdx);
            putU8(e + sii::pdo::entry::DataType, en.dataType);
            putU8(e + sii::pdo::entry::BitLength, en.bitLength);
            putU16(e + sii::pdo::entry::Flags, en.flags);
            e += sii::pdo::entry::Size;
        }
    }
    return d;
}

bool parsePdos(const std::vector<uint8_t> &d, std::vector<SiiPdo> &out, const std::string &what,
               std::string *error)
{
    size_t pos = 0;
    while (pos < d.size()) {
        if (d.size() - pos < sii::pdo::HeaderSize) {
            setError(error, what + " category: PDO header at byte " + std::to_string(pos)
                                + " needs 8 bytes, " + std::to_string(d.size() - pos) + " left");
            return false;
        }
        const uint8_t *h = d.data() + pos;
        SiiPdo p;
        p.index = getU16(h + sii::pdo::Index);
        const size_t n = getU8(h + sii::pdo::EntryCount);
        p.syncManager = getU8(h + sii::pdo::SyncManager);
        p.synchronisation = getU8(h + sii::pdo::Synchronisation);
        p.nameIdx = getU8(h + sii::pdo::NameIdx);
        p.flags = getU16(h + sii::pdo::Flags);
        pos += sii::pdo::HeaderSize;
        if (d.size() - pos < n * sii::pdo::entry::Size) {
            setError(error, what + " category: PDO " + hex(p.index) + " declares " + std::to_string(n)
                                + " entries, only " + std::to_string((d.size() - pos) / 8) + " present");
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            const uint8_t *e = d.data() + pos;
            SiiPdoEntry en;
            en.index = getU16(e + sii::pdo::entry::Index);
            en.subindex = getU8(e + sii::pdo::entry::Subindex);
            en.nameIdx = getU8(e + sii::pdo::entry::NameIdx);
            en.dataType = getU8(e + sii::pdo::entry::DataType);
            en.bitLength = getU8(e + sii::pdo::entry::BitLength);
            en.flags = getU16(e + sii::pdo::entry::Flags);
            p.entries.push_back(en);
            pos += sii::pdo::entry::Size;
        }
        out.push_back(std::move(p));
    }
    return true;
}

bool parseStrings(const std::vector<uint8_t> &d, std::vector<std::string> &out, std::string *error)
{
    if (d.empty()) {
        setError(error, "strings category is empty (no count byte)");
        return false;
    }
    const size_t count = d[0];
    size_t pos = 1;
    for (size_t i = 0; i < count; ++i) {
        if (pos >= d.size()) {
            setError(error, "strings category declares " + std::to_string(count) + " strings, data ends after "
                                + std::to_string(i));
            return false;
        }
        const size_t len = d[pos++];
        if (d.size() - pos < len) {
            setError(error, "string " + std::to_string(i + 1) + " declares " + std::to_string(len)
                                + " bytes, " + std::to_string(d.size() - pos) + " left");
            return false;
        }
        out.emplace_back(reinterpret_cast<const char *>(d.data() + pos), len);
        pos += len;
    }
    return true;
}

std::string categoryName(uint16_t type)
{
    switch (type) {
    case sii::CatStrings: return "strings";
    case sii::CatGeneral: return "general";
    case sii::CatFmmu: return "FMMU";
    case sii::CatSyncManager: return "SyncManager";
    case sii::CatTxPdo: return "TxPDO";
    case sii::CatRxPdo: return "RxPDO";
    case sii::CatDc: return "DC";
    default: return "type " + std::to_string(type);
    }
}

bool parseGeneral(const std::vector<uint8_t> &d, SiiGeneral &g, std::string *error)
{
    if (d.size() < sii::general::EbusCurrent + 2) {
        setError(error, "general category has " + std::to_string(d.size()) + " bytes, needs at least 14");
        return false;
    }
    g.groupIdx = d[sii::general::GroupIdx];
    g.imageIdx = d[sii::general::ImageIdx];
    g.orderIdx = d[sii::general::OrderIdx];
    g.nameIdx = d[sii::general::NameIdx];
    g.coeDetails = d[sii::general::CoeDetails];
    g.foeDetails = d[sii::general::FoeDetails];
    g.eoeDetails = d[sii::general::EoeDetails];
    g.soeChannels = d[sii::general::SoeChannels];
    g.ds402Channels = d[sii::general::Ds402Channels];
    g.sysmanClass = d[sii::general::SysmanClass];
    g.flags = d[sii::general::Flags];
    g.ebusCurrentMa = static_cast<int16_t>(getU16(d.data() + sii::general::EbusCurrent));
    return true;
}

// Complete entries are kept; a cut-off last entry makes the result false.
bool parseSyncManagers(const std::vector<uint8_t> &d, std::vector<SiiSyncManager> &out, std::string *error)
{
    const size_t whole = d.size() / sii::smcat::EntrySize * sii::smcat::EntrySize;
    for (size_t i = 0; i < whole; i += sii::smcat::EntrySize) {
        SiiSyncManager s;
        s.start = getU16(d.data() + i + sii::smcat::Start);
        s.length = getU16(d.data() + i + sii::smcat::Length);
        s.control = d[i + sii::smcat::Control];
        s.status = d[i + sii::smcat::Status];
        s.enable = d[i + sii::smcat::Enable];
        s.type = d[i + sii::smcat::Type];
        out.push_back(s);
    }
    if (whole != d.size()) {
        setError(error, "SyncManager category has " + std::to_string(d.size()) + " bytes, not a multiple of 8 (the "
                            + std::to_string(whole / sii::smcat::EntrySize) + " whole entries are kept)");
        return false;
    }
    return true;
}

// Reads one category into `out`. On failure nothing of the category is kept
// (except whole SyncManager entries) and *error says why.
bool parseCategory(uint16_t type, const std::vector<uint8_t> &d, SiiDevice &out, std::string *error)
{
    switch (type) {
    case sii::CatStrings: {
        std::vector<std::string> strings;
        if (!parseStrings(d, strings, error))
            return false;
        out.strings.insert(out.strings.end(), strings.begin(), strings.end());
        return true;
    }
    case sii::CatGeneral: {
        SiiGeneral g;
        if (!parseGeneral(d, g, error))
            return false;
        out.general = g;
        out.hasGeneral = true;
        return true;
    }
    case sii::CatFmmu:
        // Category data is word-padded: a trailing 0 byte is an unused FMMU either way.
        out.fmmus = d;
        return true;
    case sii::CatSyncManager:
        return parseSyncManagers(d, out.syncManagers, error);
    case sii::CatTxPdo:
    case sii::CatRxPdo: {
        // A PDO list cut short would describe fewer bits than the device
        // exchanges: all of the category or nothing.
        std::vector<SiiPdo> pdos;
        if (!parsePdos(d, pdos, categoryName(type), error))
            return false;
        std::vector<SiiPdo> &list = type == sii::CatTxPdo ? out.txPdos : out.rxPdos;
        list.insert(list.end(), pdos.begin(), pdos.end());
        return true;
    }
    default:
        return true; // unknown or unused category: skipped
    }
}

// PDOs of SyncManager 0xFF are alternatives the device offers, not what it
// exchanges: they do not count.
uint32_t assignedBits(const std::vector<SiiPdo> &pdos)
{
    uint32_t sum = 0;
    for (const SiiPdo &p : pdos)
        if (p.assigned())
            sum += p.bits();
    return sum;
}

} // namespace

uint32_t SiiPdo::bits() const
{
    uint32_t sum = 0;
    for (const SiiPdoEntry &e : entries)
        sum += e.bitLength;
    return sum;
}

std::string SiiDevice::string(uint8_t index) const
{
    if (index == 0 || index > strings.size())
        return std::string();
    return strings[index - 1];
}

uint32_t SiiDevice::pdoBits(uint8_t sm) const
{
    uint32_t sum = 0;
    for (const auto *list : {&txPdos, &rxPdos})
        for (const SiiPdo &p : *list)
            if (p.syncManager == sm)
                sum += p.bits();
    return sum;
}

uint32_t SiiDevice::outputBits() const
{
    return assignedBits(rxPdos);
}

uint32_t SiiDevice::inputBits() const
{
    return assignedBits(txPdos);
}

uint8_t siiCrc8(const uint8_t *bytes, size_t count)
{
    uint8_t crc = 0xFF;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 0x80) ? static_cast<uint8_t>((crc << 1) ^ 0x07) : static_cast<uint8_t>(crc << 1);
    }
    return crc;
}

uint8_t siiHeaderCrc(const std::vector<uint16_t> &words)
{
    uint8_t bytes[sii::ChecksumBytes] = {};
    for (size_t i = 0; i < sii::ChecksumBytes / 2 && i < words.size(); ++i)
        putU16(bytes + 2 * i, words[i]);
    return siiCrc8(bytes, sizeof bytes);
}

bool buildSiiImage(const SiiDevice &dev, std::vector<uint16_t> &words, std::string *error)
{
    if (dev.strings.size() > 255) {
        setError(error, "more than 255 strings");
        return false;
    }
    for (const std::string &s : dev.strings)
        if (s.size() > 255) {
            setError(error, "string longer than 255 bytes: " + s.substr(0, 32) + "...");
            return false;
        }
    for (const auto *list : {&dev.txPdos, &dev.rxPdos})
        for (const SiiPdo &p : *list)
            if (p.entries.size() > 255) {
                setError(error, "PDO " + hex(p.index) + " has more than 255 entries");
                return false;
            }

    words.assign(sii::FirstCategory, 0);
    words[sii::PdiControl] = dev.pdiControl;
    words[sii::PdiConfig] = dev.pdiConfig;
    words[sii::SyncImpulseLength] = dev.syncImpulseLength;
    words[sii::ExtPdiConfig] = dev.extPdiConfig;
    words[sii::StationAlias] = dev.alias;
    words[sii::Checksum] = siiHeaderCrc(words);
    auto put32 = [&](uint16_t at, uint32_t v) {
        words[at] = static_cast<uint16_t>(v);
        words[at + 1] = static_cast<uint16_t>(v >> 16);
    };
    put32(sii::VendorId, dev.vendorId);
    put32(sii::ProductCode, dev.productCode);
    put32(sii::Revision, dev.revision);
    put32(sii::SerialNumber, dev.serial);
    words[sii::BootRxMailboxOffset] = dev.bootRxOffset;
    words[sii::BootRxMailboxSize] = dev.bootRxSize;
    words[sii::BootTxMailboxOffset] = dev.bootTxOffset;
    words[sii::BootTxMailboxSize] = dev.bootTxSize;
    words[sii::StdRxMailboxOffset] = dev.mbxRxOffset;
    words[sii::StdRxMailboxSize] = dev.mbxRxSize;
    words[sii::StdTxMailboxOffset] = dev.mbxTxOffset;
    words[sii::StdTxMailboxSize] = dev.mbxTxSize;
    words[sii::MailboxProtocols] = dev.mailboxProtocols;
    words[sii::Version] = dev.version;

    WordWriter w(words);
    if (!dev.strings.empty()) {
        std::vector<uint8_t> d{static_cast<uint8_t>(dev.strings.size())};
        for (const std::string &s : dev.strings) {
            d.push_back(static_cast<uint8_t>(s.size()));
            d.insert(d.end(), s.begin(), s.end());
        }
        w.category(sii::CatStrings, std::move(d));
    }
    if (dev.hasGeneral) {
        std::vector<uint8_t> d(sii::general::Size, 0);
        const SiiGeneral &g = dev.general;
        d[sii::general::GroupIdx] = g.groupIdx;
        d[sii::general::ImageIdx] = g.imageIdx;
        d[sii::general::OrderIdx] = g.orderIdx;
        d[sii::general::NameIdx] = g.nameIdx;
        d[sii::general::CoeDetails] = g.coeDetails;
        d[sii::general::FoeDetails] = g.foeDetails;
        d[sii::general::EoeDetails] = g.eoeDetails;
        d[sii::general::SoeChannels] = g.soeChannels;
        d[sii::general::Ds402Channels] = g.ds402Channels;
        d[sii::general::SysmanClass] = g.sysmanClass;
        d[sii::general::Flags] = g.flags;
        putU16(d.data() + sii::general::EbusCurrent, static_cast<uint16_t>(g.ebusCurrentMa));
        w.category(sii::CatGeneral, std::move(d));
    }
    if (!dev.fmmus.empty())
        w.category(sii::CatFmmu, dev.fmmus);
    if (!dev.syncManagers.empty()) {
        std::vector<uint8_t> d(dev.syncManagers.size() * sii::smcat::EntrySize, 0);
        for (size_t i = 0; i < dev.syncManagers.size(); ++i) {
            const SiiSyncManager &s = dev.syncManagers[i];
            uint8_t *e = d.data() + i * sii::smcat::EntrySize;
            putU16(e + sii::smcat::Start, s.start);
            putU16(e + sii::smcat::Length, s.length);
            putU8(e + sii::smcat::Control, s.control);
            putU8(e + sii::smcat::Status, s.status);
            putU8(e + sii::smcat::Enable, s.enable);
            putU8(e + sii::smcat::Type, s.type);
        }
        w.category(sii::CatSyncManager, std::move(d));
    }
    if (!dev.txPdos.empty())
        w.category(sii::CatTxPdo, pdoCategory(dev.txPdos));
    if (!dev.rxPdos.empty())
        w.category(sii::CatRxPdo, pdoCategory(dev.rxPdos));
    words.push_back(sii::CatEnd);

    uint16_t sizeWord = dev.eepromSizeKbitMinus1;
    if (sizeWord == 0) {
        const size_t bits = words.size() * 16;
        const size_t kbit = (bits + 1023) / 1024;
        sizeWord = static_cast<uint16_t>(kbit > 0 ? kbit - 1 : 0);
    }
    words[sii::EepromSize] = sizeWord;
    return true;
}

SiiScan scanSiiImage(const std::vector<uint16_t> &words, size_t *wordsNeeded)
{
    constexpr size_t MaxWords = 0x10000; // 16-bit word addresses, 1 Mbit
    size_t pos = sii::FirstCategory;
    for (;;) {
        if (words.size() < pos + sii::CategoryHeaderWords) {
            if (pos + sii::CategoryHeaderWords > MaxWords)
                return SiiScan::Malformed;
            if (words.size() > pos && words[pos] == sii::CatEnd)
                return SiiScan::Complete;
            if (wordsNeeded != nullptr)
                *wordsNeeded = pos + sii::CategoryHeaderWords;
            return SiiScan::NeedMore;
        }
        if (words[pos] == sii::CatEnd)
            return SiiScan::Complete;
        pos += sii::CategoryHeaderWords + words[pos + 1];
        if (pos > MaxWords)
            return SiiScan::Malformed;
    }
}

bool parseSiiImage(const std::vector<uint16_t> &words, SiiDevice &out, std::string *error)
{
    out = SiiDevice();
    if (words.size() < sii::FirstCategory) {
        setError(error, "SII image has " + std::to_string(words.size()) + " words, the header alone needs 64");
        return false;
    }
    auto get32 = [&](uint16_t at) { return uint32_t(words[at]) | (uint32_t(words[at + 1]) << 16); };
    out.pdiControl = words[sii::PdiControl];
    out.pdiConfig = words[sii::PdiConfig];
    out.syncImpulseLength = words[sii::SyncImpulseLength];
    out.extPdiConfig = words[sii::ExtPdiConfig];
    out.alias = words[sii::StationAlias];
    out.checksumOk = (words[sii::Checksum] & 0xFF) == siiHeaderCrc(words);
    out.vendorId = get32(sii::VendorId);
    out.productCode = get32(sii::ProductCode);
    out.revision = get32(sii::Revision);
    out.serial = get32(sii::SerialNumber);
    out.bootRxOffset = words[sii::BootRxMailboxOffset];
    out.bootRxSize = words[sii::BootRxMailboxSize];
    out.bootTxOffset = words[sii::BootTxMailboxOffset];
    out.bootTxSize = words[sii::BootTxMailboxSize];
    out.mbxRxOffset = words[sii::StdRxMailboxOffset];
    out.mbxRxSize = words[sii::StdRxMailboxSize];
    out.mbxTxOffset = words[sii::StdTxMailboxOffset];
    out.mbxTxSize = words[sii::StdTxMailboxSize];
    out.mailboxProtocols = words[sii::MailboxProtocols];
    out.eepromSizeKbitMinus1 = words[sii::EepromSize];
    out.version = words[sii::Version];

    size_t pos = sii::FirstCategory;
    while (pos < words.size()) {
        const uint16_t type = words[pos];
        if (type == sii::CatEnd)
            return true;
        const std::string where = categoryName(type) + " category at word " + hex(unsigned(pos));
        if (words.size() - pos < sii::CategoryHeaderWords) {
            out.skipped.push_back(where + ": header cut off");
            return true;
        }
        const size_t size = words[pos + 1];
        const size_t dataAt = pos + sii::CategoryHeaderWords;
        if (words.size() - dataAt < size) {
            // Where the next category starts is unknown: nothing after this one is read.
            out.skipped.push_back(where + ": declares " + std::to_string(size) + " words, only "
                                  + std::to_string(words.size() - dataAt) + " present");
            return true;
        }
        const std::vector<uint8_t> d = wordsToBytes(words, dataAt, size);
        std::string why;
        if (!parseCategory(type, d, out, &why))
            out.skipped.push_back(where + ": " + why);
        pos = dataAt + size;
    }
    return true; // words ended on a category boundary without an end marker
}

} // namespace ecwire
