// How a device description is put together: a kind gives the device's
// identity and PDOs, options change it, and the last step lays out its
// memory and writes its SII from what the device is.
#pragma once

#include <string>
#include <vector>

#include "devices.h"

namespace ecsim {

struct DeviceBuild {
    DeviceDescription d;
    bool mailbox = false;                  // standard mailbox (CoE unless options say otherwise)
    uint16_t mbxOutStart = 0x1000, mbxOutSize = 128; // written by the master (SM0)
    uint16_t mbxInStart = 0x1080, mbxInSize = 128;   // read by the master (SM1)
    uint8_t coeDetails = 0;                // the SII's CoE details when the device speaks CoE
    uint16_t inputGap = 0x80;              // at least this from the outputs' start to the inputs'
    uint8_t ds402Channels = 0;             // the SII's general category
    bool siiPdoCategories = true;          // the SII lists the PDOs (TxPDO/RxPDO categories)
    bool siiSyncManagers = true;           // the SII has a SyncManager category
    bool announcePdoAssign = true;         // CoE details announce "PDO assign"
    // Options given, for the checks that need them all: those that need CoE,
    // and the one that chose each exclusive setting.
    std::vector<std::string> needCoe;
    std::string mailboxOption, completeAccessOption, sdoOption;
    std::string group, order, name;        // the SII's strings
};

// The kind's own device; false for an unknown kind.
bool baseDevice(const std::string &kind, DeviceBuild &b);
// Alternative PDOs the SII offers besides the assigned ones (SyncManager
// 0xFF): one beside the inputs and one beside the outputs, when the device has them.
void addAlternativePdos(DeviceBuild &b);

// Applies one option ("sii4", "al-delay=20", ...); false with *error for an
// unknown option, a bad value, or one the device cannot have.
bool applyDeviceOption(const std::string &option, DeviceBuild &b, std::string *error);

// Checks that the options make one consistent device, then lays out its
// sizes, memory and SII image; false with *error when they do not.
bool finishDevice(DeviceBuild &b, std::string *error);

} // namespace ecsim
