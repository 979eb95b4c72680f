// Device descriptions of the simulated slaves: what the SII image, the object
// dictionary and the process image of each kind are built from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ecwire/sii.h"

namespace ecsim {

enum class ImageKind { Sensor, Zero, Counter };

struct DeviceDescription {
    std::string kind;
    ecwire::SiiDevice sii;     // identity, mailbox layout, categories
    uint16_t outputStart = 0;  // default SM2 start (outputs)
    uint16_t outputSize = 0;   // bytes
    uint16_t inputStart = 0;   // default SM3 start (inputs)
    uint16_t inputSize = 0;    // bytes
    uint32_t memorySize = 0;   // registers + process RAM
    bool dc = false;
    bool sii8ByteReads = false; // SII data register delivers 8 bytes per read
    uint32_t deviceType = 0;    // object 0x1000
    std::string hwVersion, swVersion;
    ImageKind image = ImageKind::Zero;
    bool isSensor() const { return image == ImageKind::Sensor; }
    bool hasMailbox() const { return sii.hasMailbox(); }
    bool completeAccess() const { return (sii.general.coeDetails & ecwire::sii::CoeCompleteAccess) != 0; }
};

// Builds the description of a device kind; false for an unknown kind.
bool makeDevice(const std::string &kind, DeviceDescription &out);
// "sensor, sensor-sii, ..." for messages.
std::string deviceKindList();

} // namespace ecsim
