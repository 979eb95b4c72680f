// One simulated slave controller: register memory, addressing, AL state
// machine, SII EEPROM, mailbox with CoE, distributed clocks and the input
// image of its device. The Bus passes every frame through each slave in turn.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "devices.h"
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
};

class Slave {
public:
    // Time a frame needs from one slave to the next (wire + forwarding).
    static constexpr uint64_t HopDelayNs = 500;

    Slave(DeviceDescription device, size_t position, uint64_t nowNs);
    ~Slave();

    const DeviceDescription &device() const { return device_; }
    EscMemory &memory() { return mem_; }
    InputImage &image() { return image_; }
    const SlaveStats &stats() const { return stats_; }

    // Processes the datagram at `offset` of `frame` (already validated by the parser).
    void processDatagram(uint8_t *frame, size_t offset, const FrameContext &ctx);
    // Time-driven behaviour checked once per frame before processing (watchdog).
    void tick(uint64_t nowNs);
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
    void afterWrite(uint16_t address, size_t length, const uint8_t *src, const FrameContext &ctx);
    void beforeRead(uint16_t address, size_t length, const FrameContext &ctx);
    void afterRead(uint16_t address, size_t length);

    // al_state.cpp
    void initAl();
    void onAlControl();
    void setAl(uint16_t state, uint16_t code, bool error);
    uint16_t checkTransition(uint16_t from, uint16_t to) const;
    bool mailboxSmsValid() const;
    uint16_t processDataCheck() const;

    // sii_eeprom.cpp
    void initSii();
    void onSiiControl(uint16_t written);

    // mailbox_coe.cpp
    void onMailboxOut(const FrameContext &ctx);
    void onMailboxInRead();
    void postReply(std::vector<uint8_t> reply);
    void resetMailbox();
    std::vector<uint8_t> sdoReply(const uint8_t *request, size_t length);
    std::vector<uint8_t> sdoUpload(uint16_t index, uint8_t subindex, bool completeAccess, uint8_t counter);
    std::vector<uint8_t> sdoSegment(bool toggle, uint8_t counter);

    // dc.cpp
    uint64_t localTime(uint64_t nowNs) const { return nowNs + skewNs_; }
    uint64_t arrivalLocalTime() const;
    void dcLatch();
    void dcRefreshSystemTime();
    void dcSystemTimeWritten(const uint8_t *written32);

    // input_image / outputs
    void refreshInputs();

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

    bool refuseOp_ = false;
    bool holdOp_ = false;
    uint16_t refuseOpCode_ = 0;
    bool forced_ = false;

    // Mailbox
    std::deque<std::vector<uint8_t>> replies_;
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
