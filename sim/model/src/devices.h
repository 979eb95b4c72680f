// Device descriptions of the simulated slaves: what the SII image, the object
// dictionary, the process image and the slave's timing are built from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ecwire/sii.h"

namespace ecsim {

enum class ImageKind { Sensor, Zero, Counter };

// How the SDO server answers an upload of an object that would fit an
// expedited reply (4 bytes or less).
enum class SdoStyle {
    Expedited, // in the reply's 4 data bytes
    Normal,    // a normal reply carrying the data
    Segmented, // a normal reply with the size only, the data in upload segments
};

// What the device does with a complete-access upload.
enum class CompleteAccess {
    Supported,   // announced in the SII and served
    Unsupported, // neither announced nor served (abort)
    Refused,     // announced, yet every request is aborted
    Unannounced, // served, though the SII does not say so
};

// How long the device takes for what it does behind its registers.
struct DeviceTiming {
    // One EEPROM read (4 or 8 bytes over the ESC's I2C bus at about 1 MHz:
    // address phase and data, some 70 to 110 us); a reload takes ten of them.
    uint64_t siiReadNs = 100'000;
    uint64_t eepromLoadNs = 0;   // the ESC loads its EEPROM this long after power-up
    // The firmware handles a request in AL control this long after the frame
    // that wrote it; PRE-OP to SAFE-OP, where it checks the process-data
    // configuration, may take longer.
    uint64_t alNs = 500'000;
    uint64_t safeOpNs = 500'000;
    uint64_t mailboxNs = 250'000; // a mailbox reply, after the request was taken
};

// Timing settings by name: al-delay, sdo-delay and eeprom-loading in
// milliseconds (up to a minute), sii-busy in microseconds (up to a second).
bool timingInMicroseconds(const std::string &name);
uint64_t timingLimit(const std::string &name);
// Sets `name` to `value` in its unit; false for an unknown name or a value
// above its limit.
bool setTiming(DeviceTiming &t, const std::string &name, uint64_t value);

struct DeviceDescription {
    std::string kind;          // "sensor"
    std::string entry;         // as written on the bus list: "sensor+sii4+slow"
    ecwire::SiiDevice sii;     // the EEPROM's content: identity, mailbox layout, categories
    // The PDOs the device exchanges (assigned to SyncManager 2 and 3): its
    // object dictionary's assignment, whatever its SII shows.
    std::vector<ecwire::SiiPdo> rxPdos, txPdos;
    // PDOs the device offers besides them without exchanging them (mapping
    // objects that 0x1C12/0x1C13 do not assign).
    std::vector<ecwire::SiiPdo> alternativePdos;
    uint16_t outputStart = 0;  // default SM2 start (outputs)
    uint16_t outputSize = 0;   // bytes the object dictionary's assignment gives
    uint16_t inputStart = 0;   // default SM3 start (inputs)
    uint16_t inputSize = 0;    // bytes the object dictionary's assignment gives
    uint32_t memorySize = 0;   // registers + process RAM
    bool dc = false;            // distributed clocks
    bool dc64 = true;           // system time registers 64 bits wide (else 32)
    bool lrw = true;            // the ESC takes LRW datagrams
    bool sii8ByteReads = false; // SII data register delivers 8 bytes per read
    bool marksReturned = true;  // sets bit 1 of the source MAC of returned frames
    bool staleReply = false;    // a reply of an earlier master session waits at power-up
    // No processor behind the ESC (PDI control bit 8): AL status is AL
    // control copied at the end of the frame, nothing checks a transition.
    bool deviceEmulation = false;
    bool coe = false;           // the mailbox speaks CoE
    bool has1C00 = true;        // object 0x1C00 (SyncManager types) exists
    SdoStyle sdoStyle = SdoStyle::Expedited;
    CompleteAccess completeAccess = CompleteAccess::Supported;
    DeviceTiming timing;
    uint32_t deviceType = 0;    // object 0x1000
    std::string hwVersion, swVersion;
    ImageKind image = ImageKind::Zero;
    bool isSensor() const { return image == ImageKind::Sensor; }
    bool hasMailbox() const { return sii.hasMailbox(); }
};

// Builds the description of a device from its entry on the bus list,
// "kind[+option[+option=value...]]"; false with *error for an unknown kind or
// option, a bad value, or an option the kind cannot have.
bool describeDevice(const std::string &entry, DeviceDescription &out, std::string *error = nullptr);
// "sensor, sensor-sii, ..." and "keep-mac, ..." for messages and help texts.
std::string deviceKindList();
std::string deviceOptionList();

} // namespace ecsim
