// The last step of a device description: process-data sizes from the PDOs
// the device exchanges, where its mailboxes and process data sit in its
// memory, and the SII that tells a master so.
#include <algorithm>

#include "device_build.h"
#include "ecwire/registers.h"

namespace ecsim {

using namespace ecwire;

namespace {

constexpr uint32_t ProcessDataFrom = 0x1100; // process data after the usual mailboxes at least
constexpr uint32_t Alignment = 0x80;
constexpr uint32_t MinRam = 4096;

uint32_t align(uint32_t v) { return (v + Alignment - 1) / Alignment * Alignment; }

uint16_t bytesOf(const std::vector<SiiPdo> &pdos)
{
    uint32_t bits = 0;
    for (const SiiPdo &p : pdos)
        bits += p.bits();
    return static_cast<uint16_t>((bits + 7) / 8); // the sum of the bits, rounded up
}

// What the SII's CoE details announce: the kind's, or without "PDO assign"
// the set real devices often carry (SDO, SDO information, PDO configuration,
// upload at start-up, complete access); complete access as the device says.
uint8_t coeDetails(const DeviceBuild &b)
{
    uint8_t c = b.coeDetails;
    if (!b.announcePdoAssign)
        c = sii::CoeSdo | sii::CoeSdoInfo | sii::CoePdoConfig | sii::CoeUploadAtStartup | sii::CoeCompleteAccess;
    const CompleteAccess ca = b.d.completeAccess;
    if (ca == CompleteAccess::Supported || ca == CompleteAccess::Refused)
        c |= sii::CoeCompleteAccess;
    else
        c &= static_cast<uint8_t>(~sii::CoeCompleteAccess);
    return c;
}

bool consistent(const DeviceBuild &b, std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = why;
        return false;
    };
    const DeviceDescription &d = b.d;
    if (!d.coe && !b.needCoe.empty())
        return fail("option " + b.needCoe.front() + " needs CoE, and this device has none");
    if (!d.coe && !b.siiPdoCategories && !b.siiSyncManagers)
        return fail("options no-sii-pdo and no-sm-category leave a device without CoE no description of its "
                    "process data");
    return true;
}

void writeSii(DeviceBuild &b)
{
    DeviceDescription &d = b.d;
    SiiDevice &s = d.sii;
    s.strings = {b.group, b.order, b.name}; // 1 group, 2 order, 3 name
    s.hasGeneral = true;
    s.general.groupIdx = 1;
    s.general.orderIdx = 2;
    s.general.nameIdx = 3;
    s.general.coeDetails = d.coe ? coeDetails(b) : 0;
    s.general.ds402Channels = b.ds402Channels;
    s.general.ebusCurrentMa = 120;
    s.syncManagers.clear();
    if (b.mailbox) {
        s.mbxRxOffset = b.mbxOutStart;
        s.mbxRxSize = b.mbxOutSize;
        s.mbxTxOffset = b.mbxInStart;
        s.mbxTxSize = b.mbxInSize;
        s.mailboxProtocols = d.coe ? sii::ProtoCoE : sii::ProtoFoE;
    }
    if (b.siiSyncManagers) {
        if (b.mailbox) {
            s.syncManagers.push_back({b.mbxOutStart, b.mbxOutSize, sm::ControlMailboxOut, 0, 1, sii::SmMailboxOut});
            s.syncManagers.push_back({b.mbxInStart, b.mbxInSize, sm::ControlMailboxIn, 0, 1, sii::SmMailboxIn});
        } else {
            s.syncManagers.push_back({0, 0, 0, 0, 0, sii::SmUnused});
            s.syncManagers.push_back({0, 0, 0, 0, 0, sii::SmUnused});
        }
        s.syncManagers.push_back({d.outputStart, d.outputSize, sm::ControlOutputs, 0,
                                  uint8_t(d.outputSize ? 1 : 0), sii::SmOutputs});
        s.syncManagers.push_back({d.inputStart, d.inputSize, sm::ControlInputs, 0,
                                  uint8_t(d.inputSize ? 1 : 0), sii::SmInputs});
    }
    s.fmmus = {sii::FmmuOutputs, sii::FmmuInputs, sii::FmmuMailboxStatus};
    s.rxPdos.clear();
    s.txPdos.clear();
    if (b.siiPdoCategories) {
        s.rxPdos = d.rxPdos;
        s.txPdos = d.txPdos;
        for (const SiiPdo &p : d.alternativePdos)
            (p.index >= 0x1A00 ? s.txPdos : s.rxPdos).push_back(p);
    }
}

} // namespace

bool finishDevice(DeviceBuild &b, std::string *error)
{
    if (!consistent(b, error))
        return false;
    DeviceDescription &d = b.d;
    d.outputSize = bytesOf(d.rxPdos);
    d.inputSize = bytesOf(d.txPdos);
    uint32_t end = ProcessDataFrom;
    if (b.mailbox)
        end = std::max<uint32_t>({end, uint32_t(b.mbxOutStart) + b.mbxOutSize, uint32_t(b.mbxInStart) + b.mbxInSize});
    const uint32_t outStart = align(end);
    const uint32_t inStart = outStart + std::max<uint32_t>(b.inputGap, align(d.outputSize));
    d.outputStart = static_cast<uint16_t>(outStart);
    d.inputStart = static_cast<uint16_t>(inStart);
    const uint32_t used = inStart + d.inputSize;
    // Process RAM in whole KiB, at least 4 KiB above the registers.
    d.memorySize = reg::ProcessRam + std::max<uint32_t>(MinRam, (used - reg::ProcessRam + 1023) / 1024 * 1024);
    writeSii(b);
    return true;
}

} // namespace ecsim
