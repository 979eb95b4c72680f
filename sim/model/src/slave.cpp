#include "slave.h"

#include <algorithm>

#include "ecwire/registers.h"

namespace ecsim {

using namespace ecwire;

namespace {
constexpr uint8_t EscType = 0x11;
constexpr uint8_t PortsMii01 = 0x0F; // ports 0 and 1 present (MII), 2 and 3 not implemented
constexpr size_t Scratch = 2 * 2048;
constexpr uint16_t DcEnd = 0x0A00;   // one past the distributed-clock registers
} // namespace

Slave::Slave(DeviceDescription device, size_t position, uint64_t nowNs)
    : device_(std::move(device)),
      mem_(device_.memorySize),
      image_(device_.image, device_.inputSize),
      scratchA_(Scratch),
      scratchB_(Scratch),
      incoming_(Scratch)
{
    if (device_.hasMailbox())
        od_ = std::make_unique<ObjectDictionary>(device_);
    mem_.setU8(reg::Type, EscType);
    mem_.setU8(reg::Revision, 1);
    mem_.setU16(reg::Build, 1);
    mem_.setU8(reg::FmmusSupported, 8);
    mem_.setU8(reg::SyncManagersSupported, 8);
    mem_.setU8(reg::RamSizeKib, static_cast<uint8_t>((device_.memorySize - reg::ProcessRam) / 1024));
    mem_.setU8(reg::PortDescriptor, PortsMii01);
    uint16_t features = 0;
    if (device_.dc)
        features |= device_.dc64 ? uint16_t(reg::FeatureDc | reg::FeatureDc64) : reg::FeatureDc;
    if (!device_.lrw)
        features |= reg::FeatureNoLrw;
    mem_.setU16(reg::Features, features);
    if (!device_.dc) {
        mem_.setWritable(reg::DcRecvTimePort0, DcEnd, false); // not implemented: reads 0
    } else if (!device_.dc64) {
        // 32-bit system time: the upper halves of the 64-bit registers read 0.
        mem_.setWritable(reg::DcSystemTimeOffset + 4, reg::DcSystemTimeDelay, false);
        mem_.setWritable(reg::DcStartTime + 4, reg::DcStartTime + 8, false);
    }
    mem_.setU16(reg::WatchdogDivider, reg::WatchdogDividerDefault);
    mem_.setU16(reg::WatchdogTimeProcessData, reg::WatchdogTimeProcessDataDefault);
    // Every slave's local clock starts somewhere else, as real ones do.
    skewNs_ = 1'000'000'007ull * (position + 1) + 7919ull * position;
    image_.setProfile(Profile(), nowNs);
    staleArmed_ = device_.staleReply;
    initAl();
    initSii();
    setChain(position, position + 1);
    powerUp(nowNs);
}

Slave::~Slave() = default;

void Slave::setChain(size_t position, size_t count)
{
    position_ = position;
    count_ = count;
    const bool next = position + 1 < count;
    uint16_t dl = mem_.u16(reg::DlStatus) & reg::DlStatusPdiOperational;
    dl |= reg::DlStatusLinkPort0 | reg::DlStatusCommPort0;
    if (next)
        dl |= reg::DlStatusLinkPort1 | reg::DlStatusCommPort1;
    else
        dl |= 1u << 10; // port 1 loop closed
    dl |= (1u << 12) | (1u << 14); // ports 2 and 3 closed
    mem_.setU16(reg::DlStatus, dl);
}

void Slave::beginFrame(uint64_t nowNs)
{
    frameLost_ = false;
    catchUp(nowNs);
}

void Slave::catchUp(uint64_t nowNs)
{
    nowNs_ = nowNs;
    siiDue();
    alDue();
    mailboxDue();
    watchdog();
}

void Slave::endFrame()
{
    const FrameWrites w = written_;
    written_ = FrameWrites();
    if (w.syncManagers)
        applySyncManagers();
    if (w.siiControl)
        siiControlWritten(w.siiValue);
    if (w.alControl)
        alControlWritten();
    if (w.mailboxOut)
        mailboxOutWritten();
}

void Slave::watchdog()
{
    if ((alStatus() & al::StateMask) != al::Op || forced_ || device_.outputSize == 0 || device_.deviceEmulation)
        return; // (in device emulation no firmware changes AL status)
    if (!(sm(2).control & sm::WatchdogTrigger))
        return;
    const uint64_t ticks = mem_.u16(reg::WatchdogTimeProcessData);
    if (ticks == 0)
        return; // watchdog disabled
    const uint64_t tickNs = (uint64_t(mem_.u16(reg::WatchdogDivider)) + 2) * 40;
    if (nowNs_ > lastOutputsNs_ && nowNs_ - lastOutputsNs_ > ticks * tickNs) {
        alBusy_ = alNewer_ = false; // the firmware drops to SAFE-OP on its own
        setAl(al::SafeOp, al::SmWatchdog, true);
    }
}

std::vector<uint8_t> Slave::outputs() const
{
    const SmEntry &out = sm(2);
    if (!mem_.inRange(out.physicalStart, out.length))
        return {};
    return std::vector<uint8_t>(mem_.data() + out.physicalStart, mem_.data() + out.physicalStart + out.length);
}

void Slave::refreshInputs()
{
    const SmEntry &in = sm(3);
    const size_t n = std::min<size_t>(in.length, device_.inputSize);
    if (n == 0 || !mem_.inRange(in.physicalStart, device_.inputSize))
        return;
    image_.produce(mem_.data() + in.physicalStart, nowNs_);
}

} // namespace ecsim
