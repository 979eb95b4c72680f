// One simulated slave controller: register memory, addressing, AL state
// machine, SII EEPROM, mailbox with CoE, distributed clocks and the input
// image of its device. The Bus passes every frame through each slave in turn:
// beginFrame (what fell due since the last frame), the datagrams, endFrame
// (what the frame's writes start).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "devices.h"
#include "ecwire/registers.h"
#include "esc_memory.h"
#include "input_image.h"
#include "object_dictionary.h"

namespace ecsim {

// What a slave knows about the frame passing it.
struct FrameContext {
    uint64_t nowNs = 0;     // bus clock when the frame arrived at the first slave
    size_t position = 0;    // this slave's place in the chain (0 = first)
    size_t slaveCount = 1;
};

struct SlaveStats {
    uint64_t reads = 0, writes = 0, refused = 0; // datagram accesses addressed to this slave
    uint64_t mailboxRequests = 0;
    uint64_t siiReads = 0, siiNacks = 0;
    uint64_t repeats = 0;         // mailbox repeat requests served
    uint64_t lostReplies = 0;     // mailbox replies lost on their way back (lose-reply)
};

class Slave {
public:
    // Time a frame needs from one slave to the next (wire + forwarding).
    static constexpr uint64_t HopDelayNs = 500;
    static constexpr unsigned SyncManagers = 8;

    Slave(DeviceDescription device, size_t position, uint64_t nowNs);
    ~Slave();

    const DeviceDescription &device() const { return device_; }
    DeviceDescription &deviceForChanges() { return device_; } // timing changes from the control channel
    EscMemory &memory() { return mem_; }
    InputImage &image() { return image_; }
    const SlaveStats &stats() const { return stats_; }

    // Power-up at `nowNs` of the bus clock: EEPROM loading starts over.
    void powerUp(uint64_t nowNs);
    // Work that fell due since the last frame (EEPROM, state changes, mailbox, watchdog).
    void beginFrame(uint64_t nowNs);
    // The same work without a frame: the firmware and the EEPROM go on while
    // nothing passes on the wire.
    void catchUp(uint64_t nowNs);
    // Processes the datagram at `offset` of `frame` (already validated by the parser).
    void processDatagram(uint8_t *frame, size_t offset, const FrameContext &ctx);
    // The frame has passed: writes to AL control, SII control and SyncManagers take effect.
    void endFrame();
    // True when this frame read a mailbox reply that is to be lost on its way back.
    bool frameLost() const { return frameLost_; }
    // DL status / port registers for the slave's place in the chain.
    void setChain(size_t position, size_t count);

    uint16_t alStatus() const;
    uint16_t alStatusCode() const;
    std::vector<uint8_t> outputs() const; // current SM2 area (outputs)

    // Faults
    void setRefuseOp(bool on, uint16_t code) { refuseOp_ = on; refuseOpCode_ = code; holdOp_ = false; }
    // Leaves a request for OP pending: the slave stays in SAFE-OP without an error.
    void setHoldOp(bool on) { holdOp_ = on; refuseOp_ = false; }
    void forceError(uint16_t status, uint16_t code);
    void releaseError() { forced_ = false; }
    bool refuseOp() const { return refuseOp_; }
    bool errorForced() const { return forced_; }
    // The next `count` EEPROM reads fail with the command error bit (no acknowledge).
    void failSiiReads(uint32_t count) { siiNacks_ = count; }
    // The next `count` mailbox replies the master reads are lost on their way back.
    void loseReplies(uint32_t count) { loseReplies_ = count; }
    // A reply of an earlier master session: it waits in the read mailbox as
    // soon as the mailbox runs (now, when it does).
    void putStaleReply();

    // SII image as words (for tests).
    const std::vector<uint16_t> &siiWords() const { return sii_; }

private:
    // slave_access.cpp
    bool masterRead(uint16_t address, uint8_t *dst, size_t length, const FrameContext &ctx);
    bool masterWrite(uint16_t address, const uint8_t *src, size_t length, const FrameContext &ctx);
    bool smAllows(uint16_t address, size_t length, bool write) const;
    void physical(uint8_t *frame, size_t offset, uint8_t command, uint16_t address, const FrameContext &ctx);
    void logical(uint8_t *frame, size_t offset, uint8_t command, const FrameContext &ctx);
    bool addressedByStation(uint16_t adp) const;
    void afterWrite(uint16_t address, size_t length, const uint8_t *src);
    void beforeRead(uint16_t address, size_t length);
    void afterRead(uint16_t address, size_t length);

    // sync_managers.cpp: the configuration in force, taken at the end of a frame
    const ecwire::SmEntry &sm(unsigned n) const { return sm_[n]; }
    void applySyncManagers();
    uint8_t smStatus(unsigned n) const;
    void setSmStatus(unsigned n, uint8_t bits, bool on);
    // PDI control's repeat acknowledge takes the value of the repeat request in activate.
    void acknowledgeRepeat(unsigned n);

    // al_state.cpp
    void initAl();
    void alControlWritten();
    void alDue();
    void handleAlControl(uint16_t control);
    void setAl(uint16_t state, uint16_t code, bool error);
    uint16_t checkTransition(uint16_t from, uint16_t to) const;
    bool mailboxSmsValid() const;
    uint16_t processDataCheck() const;

    // sii_eeprom.cpp
    void initSii();
    void siiControlWritten(uint16_t written);
    void siiDue();
    bool eepromLoaded() const;
    void loadStationAlias();

    // mailbox.cpp
    void mailboxOutWritten();
    void mailboxInRead();
    void mailboxDue();
    void takeRequest();
    void postReply(std::vector<uint8_t> reply);
    void fillReadMailbox(const std::vector<uint8_t> &reply);
    void repeatRequested();
    void resetMailbox();
    bool mailboxRunning() const;

    // sdo_server.cpp
    std::vector<uint8_t> sdoReply(const uint8_t *request, size_t length);
    std::vector<uint8_t> sdoUpload(uint16_t index, uint8_t subindex, bool completeAccess, uint8_t counter);
    std::vector<uint8_t> sdoSegment(bool toggle, uint8_t counter);
    std::vector<uint8_t> staleReply();

    // dc.cpp
    uint64_t localTime(uint64_t nowNs) const { return nowNs + skewNs_; }
    uint64_t arrivalLocalTime() const;
    uint64_t systemTimeMask() const;
    void dcLatch();
    void dcRefreshSystemTime();
    void dcSystemTimeWritten(const uint8_t *written32);

    // input_image / outputs
    void refreshInputs();
    void watchdog();

    DeviceDescription device_;
    EscMemory mem_;
    InputImage image_;
    std::unique_ptr<ObjectDictionary> od_;
    std::vector<uint16_t> sii_;
    SlaveStats stats_;

    size_t position_ = 0, count_ = 1;
    uint64_t nowNs_ = 0;
    uint64_t skewNs_ = 0;
    std::vector<uint8_t> scratchA_, scratchB_, incoming_;
    uint64_t lastOutputsNs_ = 0;

    // Writes of the frame passing, taken at its end.
    struct FrameWrites {
        bool alControl = false;
        bool syncManagers = false;
        bool siiControl = false;
        uint16_t siiValue = 0;
        bool mailboxOut = false;
    } written_;
    bool frameLost_ = false;

    std::array<ecwire::SmEntry, SyncManagers> sm_{};

    // AL state machine: the request the firmware works on, and the newest
    // value of AL control it has not looked at yet.
    bool alBusy_ = false;
    uint16_t alWorkingOn_ = 0;
    uint64_t alDueNs_ = 0;
    bool alNewer_ = false;
    bool refuseOp_ = false;
    bool holdOp_ = false;
    uint16_t refuseOpCode_ = 0;
    bool forced_ = false;

    // SII EEPROM
    uint64_t poweredNs_ = 0;
    bool siiBusy_ = false;
    uint16_t siiCommand_ = 0;
    uint64_t siiDueNs_ = 0;
    uint32_t siiNacks_ = 0;

    // Mailbox: the request the firmware works on, replies waiting for the
    // read mailbox, the last reply the master read (for a repeat request).
    bool mbxWorking_ = false;
    uint64_t mbxDueNs_ = 0;
    std::vector<uint8_t> mbxRequest_;
    std::deque<std::vector<uint8_t>> replies_;
    std::vector<uint8_t> lastRead_;
    std::vector<uint8_t> inMailbox_; // the message in the read mailbox now
    bool repeatBusy_ = false;
    uint64_t repeatDueNs_ = 0;
    bool staleArmed_ = false;
    uint32_t loseReplies_ = 0;
    uint8_t mbxCounter_ = 0;
    struct Upload {
        bool active = false;
        std::vector<uint8_t> data;
        size_t offset = 0;
        bool toggle = false;
        uint16_t index = 0;
        uint8_t subindex = 0;
    } upload_;
};

} // namespace ecsim
