// The device kinds: identity, strings, PDOs and process image of each.
#include "device_build.h"

#include "ecwire/registers.h"

namespace ecsim {

using namespace ecwire;

namespace {

constexpr uint32_t VendorId = 0x00E1A5C0;   // the simulator's own vendor number
constexpr uint8_t DataTypeBoolean = 0x01, DataTypeInteger8 = 0x02, DataTypeInteger32 = 0x04,
                  DataTypeUnsigned8 = 0x05, DataTypeUnsigned16 = 0x06, DataTypeUnsigned32 = 0x07,
                  DataTypeReal32 = 0x08;
constexpr uint8_t SensorCoe = sii::CoeSdo | sii::CoePdoAssign | sii::CoeCompleteAccess;
constexpr uint8_t DeviceCoe = sii::CoeSdo | sii::CoePdoAssign | sii::CoePdoConfig | sii::CoeCompleteAccess;

SiiPdoEntry entry(uint16_t index, uint8_t sub, uint8_t type, uint8_t bits)
{
    SiiPdoEntry e;
    e.index = index;
    e.subindex = sub;
    e.dataType = type;
    e.bitLength = bits;
    return e;
}

// A padding entry: index 0, only a bit length.
SiiPdoEntry gap(uint8_t bits) { return entry(0, 0, 0, bits); }

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

// A device with a CoE mailbox and a running pattern for its inputs.
void coeDevice(DeviceBuild &b, uint32_t product, uint32_t deviceType, const char *group, const char *order,
               const char *name)
{
    b.d.sii.productCode = product;
    b.d.deviceType = deviceType;
    b.d.image = ImageKind::Counter;
    b.d.hwVersion = "1.0";
    b.d.swVersion = "2.1.0";
    strings(b, group, order, name);
    b.mailbox = true;
    b.coeDetails = DeviceCoe;
}

// 13 analog inputs of 16 bits: 26 input bytes.
void wideIn(DeviceBuild &b)
{
    coeDevice(b, 0x00007001, 0x00030191, "Analog", "AI-13", "13 analog inputs, 16 bit");
    std::vector<SiiPdoEntry> entries;
    for (uint8_t i = 1; i <= 13; ++i)
        entries.push_back(entry(0x6000, i, DataTypeUnsigned16, 16));
    b.d.txPdos.push_back(pdo(0x1A00, 3, std::move(entries)));
}

// Single bits and padding: 8 + 24 + 2 bits, 5 input bytes (the sum rounded up).
void bitsIn(DeviceBuild &b)
{
    coeDevice(b, 0x00007002, 0x00010191, "Digital", "DI-BITS", "Bit inputs with padding");
    b.d.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6000, 1, DataTypeBoolean, 1), entry(0x6000, 2, DataTypeBoolean, 1),
                                         entry(0x6000, 3, DataTypeBoolean, 1), entry(0x6000, 4, DataTypeBoolean, 1),
                                         gap(4)}));
    b.d.txPdos.push_back(pdo(0x1A01, 3, {entry(0x6010, 1, DataTypeBoolean, 1), gap(7),
                                         entry(0x6010, 2, DataTypeUnsigned16, 16)}));
    b.d.txPdos.push_back(pdo(0x1A02, 3, {entry(0x6020, 1, DataTypeBoolean, 1), entry(0x6020, 2, DataTypeBoolean, 1)}));
}

// Outputs and inputs on one slave: 4 output bytes, 6 input bytes.
void ioMixed(DeviceBuild &b)
{
    coeDevice(b, 0x00007003, 0x00030191, "Mixed I/O", "IO-4-6", "Mixed outputs and inputs");
    b.d.rxPdos.push_back(pdo(0x1600, 2, {entry(0x7000, 1, DataTypeUnsigned8, 8), entry(0x7000, 2, DataTypeUnsigned8, 8),
                                         entry(0x7010, 1, DataTypeUnsigned16, 16)}));
    b.d.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6000, 1, DataTypeUnsigned16, 16),
                                         entry(0x6000, 2, DataTypeUnsigned16, 16),
                                         entry(0x6010, 1, DataTypeUnsigned8, 8), gap(8)}));
}

// A CiA 402 servo drive: controlword, target position, mode (7 output bytes);
// statusword, actual position and velocity, mode display (11 input bytes).
void drive(DeviceBuild &b)
{
    coeDevice(b, 0x00007004, 0x00020192, "Drives", "SD-402", "Servo drive CiA 402");
    b.d.dc = true;
    b.ds402Channels = 1;
    b.d.rxPdos.push_back(pdo(0x1600, 2, {entry(0x6040, 0, DataTypeUnsigned16, 16),
                                         entry(0x607A, 0, DataTypeInteger32, 32),
                                         entry(0x6060, 0, DataTypeInteger8, 8)}));
    b.d.txPdos.push_back(pdo(0x1A00, 3, {entry(0x6041, 0, DataTypeUnsigned16, 16),
                                         entry(0x6064, 0, DataTypeInteger32, 32),
                                         entry(0x606C, 0, DataTypeInteger32, 32),
                                         entry(0x6061, 0, DataTypeInteger8, 8)}));
}

} // namespace

std::string deviceKindList()
{
    return "sensor, sensor-sii, short-sensor, dig-out, dig-in, big-in, wide-in, bits-in, io-mixed, drive";
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
    } else if (kind == "wide-in") {
        wideIn(b);
    } else if (kind == "bits-in") {
        bitsIn(b);
    } else if (kind == "io-mixed") {
        ioMixed(b);
    } else if (kind == "drive") {
        drive(b);
    } else {
        return false;
    }
    d.coe = b.mailbox;
    return true;
}

void addAlternativePdos(DeviceBuild &b)
{
    auto alternative = [](uint16_t index, uint16_t object) {
        return pdo(index, sii::PdoNotAssigned,
                   {entry(object, 1, DataTypeUnsigned32, 32), entry(object, 2, DataTypeUnsigned32, 32)});
    };
    if (!b.d.txPdos.empty())
        b.d.alternativePdos.push_back(alternative(0x1A10, 0x6100));
    if (!b.d.rxPdos.empty())
        b.d.alternativePdos.push_back(alternative(0x1610, 0x7100));
}

} // namespace ecsim
