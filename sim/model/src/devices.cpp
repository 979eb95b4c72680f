#include "devices.h"

#include <algorithm>

#include "ecwire/registers.h"

namespace ecsim {

using namespace ecwire;

namespace {

constexpr uint32_t VendorId = 0x00E1A5C0;   // the simulator's own vendor number
constexpr uint16_t MailboxOut = 0x1000, MailboxIn = 0x1080, MailboxSize = 128;
constexpr uint8_t DataTypeUnsigned8 = 0x05, DataTypeUnsigned32 = 0x07, DataTypeReal32 = 0x08;

SiiPdoEntry entry(uint16_t index, uint8_t sub, uint8_t type, uint8_t bits)
{
    SiiPdoEntry e;
    e.index = index;
    e.subindex = sub;
    e.dataType = type;
    e.bitLength = bits;
    return e;
}

SiiPdo pdo(uint16_t index, uint8_t sm, std::vector<SiiPdoEntry> entries)
{
    SiiPdo p;
    p.index = index;
    p.syncManager = sm;
    p.entries = std::move(entries);
    return p;
}

// Common layout: SM0/SM1 mailbox (or unused), SM2 outputs, SM3 inputs.
void finishLayout(DeviceDescription &d, bool mailbox, uint16_t outStart, uint16_t inStart)
{
    SiiDevice &s = d.sii;
    d.outputStart = outStart;
    d.inputStart = inStart;
    d.outputSize = static_cast<uint16_t>((s.outputBits() + 7) / 8);
    d.inputSize = static_cast<uint16_t>((s.inputBits() + 7) / 8);
    if (mailbox) {
        s.mbxRxOffset = MailboxOut;
        s.mbxRxSize = MailboxSize;
        s.mbxTxOffset = MailboxIn;
        s.mbxTxSize = MailboxSize;
        s.mailboxProtocols = sii::ProtoCoE;
        s.syncManagers.push_back({MailboxOut, MailboxSize, sm::ControlMailboxOut, 0, 1, sii::SmMailboxOut});
        s.syncManagers.push_back({MailboxIn, MailboxSize, sm::ControlMailboxIn, 0, 1, sii::SmMailboxIn});
    } else {
        s.syncManagers.push_back({0, 0, 0, 0, 0, sii::SmUnused});
        s.syncManagers.push_back({0, 0, 0, 0, 0, sii::SmUnused});
    }
    s.syncManagers.push_back({outStart, d.outputSize, sm::ControlOutputs, 0,
                              uint8_t(d.outputSize ? 1 : 0), sii::SmOutputs});
    s.syncManagers.push_back({inStart, d.inputSize, sm::ControlInputs, 0,
                              uint8_t(d.inputSize ? 1 : 0), sii::SmInputs});
    s.fmmus = {sii::FmmuOutputs, sii::FmmuInputs, sii::FmmuMailboxStatus};
    const uint32_t end = std::max<uint32_t>(uint32_t(outStart) + d.outputSize, uint32_t(inStart) + d.inputSize);
    // Process RAM in whole KiB, at least 4 KiB above the registers.
    const uint32_t ram = std::max<uint32_t>(4096, ((end - reg::ProcessRam) + 1023) / 1024 * 1024);
    d.memorySize = reg::ProcessRam + ram;
}

void general(DeviceDescription &d, std::vector<std::string> strings, uint8_t coe)
{
    d.sii.strings = std::move(strings); // 1 group, 2 order, 3 name
    d.sii.hasGeneral = true;
    d.sii.general.groupIdx = 1;
    d.sii.general.orderIdx = 2;
    d.sii.general.nameIdx = 3;
    d.sii.general.coeDetails = coe;
    d.sii.general.ebusCurrentMa = 120;
}

void sensor(DeviceDescription &d, bool mailbox, uint8_t valueBits, uint32_t product, const char *order)
{
    d.image = ImageKind::Sensor;
    d.dc = true;
    d.sii8ByteReads = true;
    d.deviceType = 0x00000000;
    d.hwVersion = "1.0";
    d.swVersion = "1.2.0";
    d.sii.productCode = product;
    general(d, {"Sensors", order, "Pressure sensor"},
            mailbox ? uint8_t(sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess) : uint8_t(0));
    d.sii.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6000, 1, DataTypeUnsigned8, 8),
                                           entry(0x6000, 2, DataTypeReal32, valueBits)}));
    finishLayout(d, mailbox, 0x1100, 0x1180);
}

} // namespace

std::string deviceKindList()
{
    return "sensor, sensor-sii, short-sensor, dig-out, dig-in, big-in";
}

bool makeDevice(const std::string &kind, DeviceDescription &d)
{
    d = DeviceDescription();
    d.kind = kind;
    d.sii.vendorId = VendorId;
    d.sii.revision = 0x00010000;
    d.sii.serial = 1000;
    d.sii.pdiControl = 0x0005;
    if (kind == "sensor") {
        sensor(d, true, 32, 0x00005001, "PS-1");
    } else if (kind == "sensor-sii") {
        sensor(d, false, 32, 0x00005002, "PS-1-S");
    } else if (kind == "short-sensor") {
        sensor(d, true, 24, 0x00005003, "PS-1-4");
    } else if (kind == "dig-out") {
        d.sii.productCode = 0x00006001;
        d.deviceType = 0x00020191;
        general(d, {"Digital", "DO-8", "8 digital outputs"}, 0);
        d.sii.rxPdos.push_back(pdo(0x1600, 2, {entry(0x7000, 1, DataTypeUnsigned8, 8)}));
        finishLayout(d, false, 0x1100, 0x1180);
    } else if (kind == "dig-in") {
        d.sii.productCode = 0x00006002;
        d.deviceType = 0x00010191;
        general(d, {"Digital", "DI-16", "16 digital inputs"}, 0);
        d.sii.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6000, 1, DataTypeUnsigned8, 8),
                                               entry(0x6000, 2, DataTypeUnsigned8, 8)}));
        finishLayout(d, false, 0x1100, 0x1180);
    } else if (kind == "big-in") {
        d.sii.productCode = 0x00006003;
        d.deviceType = 0x00000000;
        d.image = ImageKind::Counter;
        d.hwVersion = "1.0";
        d.swVersion = "1.0.0";
        general(d, {"Test", "BIG-5000", "5000-byte input block"},
                sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess);
        // 5 PDOs of 250 x 32 bits = 5000 bytes
        for (uint16_t p = 0; p < 5; ++p) {
            std::vector<SiiPdoEntry> entries;
            for (uint16_t i = 1; i <= 250; ++i)
                entries.push_back(entry(static_cast<uint16_t>(0x6000 + p), static_cast<uint8_t>(i),
                                        DataTypeUnsigned32, 32));
            d.sii.txPdos.push_back(pdo(static_cast<uint16_t>(0x1A00 + p), 3, std::move(entries)));
        }
        finishLayout(d, true, 0x1100, 0x1200);
    } else {
        return false;
    }
    if (d.image == ImageKind::Zero && d.inputSize == 0 && d.outputSize == 0)
        return false;
    return true;
}

} // namespace ecsim
