// The device kinds: identity, strings, PDOs and process image of each.
#include "device_build.h"

#include "ecwire/registers.h"

namespace ecsim {

using namespace ecwire;

namespace {

constexpr uint32_t VendorId = 0x00E1A5C0;   // the simulator's own vendor number
constexpr uint8_t DataTypeUnsigned8 = 0x05, DataTypeUnsigned32 = 0x07, DataTypeReal32 = 0x08;
constexpr uint8_t SensorCoe = sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess;

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

void strings(DeviceBuild &b, const char *group, const char *order, const char *name)
{
    b.group = group;
    b.order = order;
    b.name = name;
}

void sensor(DeviceBuild &b, bool mailbox, uint8_t valueBits, uint32_t product, const char *order)
{
    DeviceDescription &d = b.d;
    d.image = ImageKind::Sensor;
    d.dc = true;
    d.sii8ByteReads = true;
    d.deviceType = 0x00000000;
    d.hwVersion = "1.0";
    d.swVersion = "1.2.0";
    d.sii.productCode = product;
    strings(b, "Sensors", order, "Pressure sensor");
    b.mailbox = mailbox;
    b.coeDetails = SensorCoe;
    d.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6000, 1, DataTypeUnsigned8, 8),
                                       entry(0x6000, 2, DataTypeReal32, valueBits)}));
}

} // namespace

std::string deviceKindList()
{
    return "sensor, sensor-sii, short-sensor, dig-out, dig-in, big-in";
}

bool baseDevice(const std::string &kind, DeviceBuild &b)
{
    b = DeviceBuild();
    DeviceDescription &d = b.d;
    d.kind = kind;
    d.sii.vendorId = VendorId;
    d.sii.revision = 0x00010000;
    d.sii.serial = 1000;
    d.sii.pdiControl = 0x0005;
    if (kind == "sensor") {
        sensor(b, true, 32, 0x00005001, "PS-1");
    } else if (kind == "sensor-sii") {
        sensor(b, false, 32, 0x00005002, "PS-1-S");
    } else if (kind == "short-sensor") {
        sensor(b, true, 24, 0x00005003, "PS-1-4");
    } else if (kind == "dig-out") {
        d.sii.productCode = 0x00006001;
        d.deviceType = 0x00020191;
        strings(b, "Digital", "DO-8", "8 digital outputs");
        d.rxPdos.push_back(pdo(0x1600, 2, {entry(0x7000, 1, DataTypeUnsigned8, 8)}));
    } else if (kind == "dig-in") {
        d.sii.productCode = 0x00006002;
        d.deviceType = 0x00010191;
        strings(b, "Digital", "DI-16", "16 digital inputs");
        d.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6000, 1, DataTypeUnsigned8, 8),
                                           entry(0x6000, 2, DataTypeUnsigned8, 8)}));
    } else if (kind == "big-in") {
        d.sii.productCode = 0x00006003;
        d.deviceType = 0x00000000;
        d.image = ImageKind::Counter;
        d.hwVersion = "1.0";
        d.swVersion = "1.0.0";
        strings(b, "Test", "BIG-5000", "5000-byte input block");
        b.mailbox = true;
        b.coeDetails = SensorCoe;
        b.inputGap = 0x100;
        // 5 PDOs of 250 x 32 bits = 5000 bytes
        for (uint16_t p = 0; p < 5; ++p) {
            std::vector<SiiPdoEntry> entries;
            for (uint16_t i = 1; i <= 250; ++i)
                entries.push_back(entry(static_cast<uint16_t>(0x6000 + p), static_cast<uint8_t>(i),
                                        DataTypeUnsigned32, 32));
            d.txPdos.push_back(pdo(static_cast<uint16_t>(0x1A00 + p), 3, std::move(entries)));
        }
    } else {
        return false;
    }
    d.coe = b.mailbox;
    return true;
}

} // namespace ecsim
