// One slave's mailbox and CoE object dictionary behind a frame transport,
// scripted by the test: only the registers the master's CoE uploads touch
// are there (SyncManager 1 status, activate and PDI control bytes, the write
// and read mailbox areas). Written from ETG.1000.4/.6 as ETHERCAT.md gives
// them, with switches for what field devices do: replies as expedited,
// normal or segmented transfers, complete access refused, slow replies,
// replies left from an earlier master, late or repeated messages, a reply
// frame lost on its way back (recovered with the repeat request), messages
// that are no replies (emergencies), counters that never change.
//
// Reading the read mailbox without its last byte leaves it full (the ESC
// empties it when the last byte is read). A repeat request puts the last
// message read back; a message still unread waits behind it.
#pragma once

#include "sim_transport.h"

#include <ecwire/mailbox.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

class FakeMailbox : public QueuedTransport {
public:
    static constexpr uint16_t Station = 0x1001;
    static constexpr uint16_t WriteAt = 0x1000, ReadAt = 0x1080;

    explicit FakeMailbox(uint16_t writeSize = 128, uint16_t readSize = 128);

    bool send(const uint8_t *frame, size_t len) override;

    // Fills slave 1 of a cleared context as ecx_config_init would for this
    // slave (station, mailbox layout, CoE, the CoE details given).
    void attach(ecx_contextt *c, uint8_t coeDetails);

    // The object dictionary: sub 0 the count, then the values (1, 2 or 4 bytes each).
    void setList(uint16_t index, const std::vector<uint32_t> &values, size_t width);

    enum class Style { Expedited, Normal, Segmented };
    Style style = Style::Expedited;      // expedited where the data fits 4 bytes
    bool completeAccess = true;          // refused with an abort when false
    bool sloppyLastSegment = false;      // last segment padded to 7 bytes without saying so
    bool unpaddedLastSegment = false;    // a last segment under 7 bytes comes without padding
    bool sizeNotIndicated = false;       // segmented uploads start with 0x40: no size given
    bool caAbortWithoutObject = false;   // complete access aborted naming object 0x0000:00
    bool fixedCounter = false;           // every message carries counter 1
    bool emergencyFlood = false;         // an emergency fills the read mailbox whenever it is empty
    int firstReplyDelayUs = 0;           // the first reply comes this late
    int foreignBeforeRequest = 0;        // before the reply to request n (1-based): one for another object
    int repeatBeforeRequest = 0;         // before the reply to request n (1-based): the previous message again
    bool dropNextReadReply = false;      // the next read of the read mailbox is lost on the way back
    bool emergencyAfterLostRead = false; // ... and at once an emergency fills the mailbox again
    bool dropNextReadRequest = false;    // the next read of the read mailbox is lost before the slave
    uint16_t mailboxErrorReply = 0;      // every request answered with this mailbox error (0: none)
    std::vector<std::vector<uint8_t>> waiting; // in the read mailbox before the first request

    int requests = 0;
    int completeAccessRequests = 0;
    int repeats = 0;
    int emergencies = 0; // emergencies read by the master

private:
    struct Pending {
        std::vector<uint8_t> message;
        std::chrono::steady_clock::time_point readyAt;
    };
    void onRequest(const uint8_t *area, size_t len);
    std::vector<uint8_t> upload(const ecwire::SdoRequest &r);
    std::vector<uint8_t> transfer(uint16_t index, uint8_t subindex, const std::vector<uint8_t> &data);
    void post(std::vector<uint8_t> message, int delayUs = 0);
    void fillReadArea();
    void putInReadArea(const std::vector<uint8_t> &message);
    std::vector<uint8_t> emergency();
    uint8_t nextCounter();

    uint16_t writeSize_, readSize_;
    std::map<uint16_t, std::vector<std::vector<uint8_t>>> od_;
    std::vector<uint8_t> readArea_;
    std::vector<uint8_t> inArea_; // the message in the read area while it is full
    bool full_ = false;
    uint8_t activate_ = 1, pdiControl_ = 0;
    std::vector<uint8_t> lastRead_;
    std::deque<Pending> pending_;
    std::deque<std::vector<uint8_t>> segments_;
    uint8_t counter_ = 0;
    bool started_ = false;
};

