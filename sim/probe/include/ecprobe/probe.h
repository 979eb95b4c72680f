// A small master-side driver of the EtherCAT protocol for the simulator's own
// tests, benchmark and fuzz target. It does what the ESC's documented
// behaviour asks of a master, and relies on nothing else: it polls SII busy
// in later frames, clears SII errors with command 000, waits for states and
// acknowledges errors, reads a mailbox reply once SM1 reads full and drops
// replies that do not answer its request. It works over any frame exchange
// (the wire, or a Bus in-process) and any clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <ecwire/frame.h>

namespace ecprobe {

// Sends one frame and returns true with the reply, false when none came back.
using Exchange = std::function<bool(const std::vector<uint8_t> &frame, std::vector<uint8_t> &reply)>;

// Time for waits and deadlines, in nanoseconds: now(), and wait(ns) letting
// that much time pass between two polls.
struct Clock {
    std::function<uint64_t()> now;
    std::function<void(uint64_t ns)> wait;
};
// The monotonic clock; wait() sleeps.
Clock monotonicClock();

// Where a slave's mailboxes are (its SII's standard mailbox fields, mailboxOf()).
struct MailboxLayout {
    uint16_t outStart = 0, outSize = 0; // written by the master (SM0)
    uint16_t inStart = 0, inSize = 0;   // read by the master (SM1)
    bool present() const { return outSize > 0 && inSize > 0; }
};

class Probe {
public:
    Probe(Exchange exchange, Clock clock);

    // Between two polls: pollNs at first, doubling up to maxPollNs while the wait goes on.
    uint64_t pollNs = 20'000;
    uint64_t maxPollNs = 1'000'000;
    uint64_t timeoutNs = 3'000'000'000; // for a state, an EEPROM read, a mailbox reply

    static uint16_t station(size_t position) { return static_cast<uint16_t>(0x1001 + position); }

    // One frame with one datagram: `data` goes out, the reply's data comes
    // back in it. The working counter, or -1 when no reply came (error()).
    int io(ecwire::Command command, uint32_t address, std::vector<uint8_t> &data);
    // FPRD / FPWR that must be answered by exactly one slave.
    bool read(uint16_t station, uint16_t ado, size_t length, std::vector<uint8_t> &out);
    bool read16(uint16_t station, uint16_t ado, uint16_t &value);
    bool write(uint16_t station, uint16_t ado, std::vector<uint8_t> data);
    bool write16(uint16_t station, uint16_t ado, uint16_t value);

    int countSlaves(); // the working counter of a BRD, -1 without reply
    bool assignStations(size_t count);
    // SyncManager n and FMMU n of a slave, activated.
    bool writeSm(uint16_t station, unsigned n, uint16_t start, uint16_t length, uint8_t control,
                 uint8_t activate = 0x01);
    bool writeFmmu(uint16_t station, unsigned n, uint32_t logical, uint16_t length, uint16_t physical, uint8_t type);

    // SII words [word, word + count) through the EEPROM interface.
    bool readSii(uint16_t station, uint32_t word, size_t count, std::vector<uint16_t> &out);
    // The whole image: the header, then the categories up to the end marker.
    bool readSiiImage(uint16_t station, std::vector<uint16_t> &words);

    // Writes `control` to AL control and waits until AL status shows that
    // state without error. False when the slave sets the error indication
    // (lastAlStatus/lastAlCode say what it shows) or the time runs out.
    bool requestState(uint16_t station, uint16_t control);
    uint16_t lastAlStatus = 0, lastAlCode = 0;

    // Writes `request` into the write mailbox and returns the next message
    // from the read mailbox once it reads full.
    bool mailbox(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> request,
                 std::vector<uint8_t> &reply);
    // Waits for the read mailbox to read full and reads it.
    bool readMailbox(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> &reply);
    // Toggles the repeat request of SM1, waits for the acknowledge and reads
    // the repeated message.
    bool repeatLastReply(uint16_t station, const MailboxLayout &m, std::vector<uint8_t> &reply);
    // Uploads an object: expedited, normal or segmented, as the slave
    // answers. Replies that do not answer this request are read and dropped.
    // False on abort (*abortCode) or error.
    bool upload(uint16_t station, const MailboxLayout &m, uint16_t index, uint8_t subindex, bool completeAccess,
                std::vector<uint8_t> &data, uint32_t *abortCode = nullptr);
    uint8_t counter = 0; // the master's mailbox counter (1..7)

    const std::string &error() const { return error_; }
    uint64_t now() const { return clock_.now(); }
    void wait(uint64_t ns) { clock_.wait(ns); }

private:
    // The pause before the next poll of one wait (starting at pollNs).
    struct Backoff {
        explicit Backoff(const Probe &p) : next(p.pollNs), max(p.maxPollNs) {}
        uint64_t step()
        {
            const uint64_t n = next;
            next = std::min(max, next * 2);
            return n;
        }
        uint64_t next, max;
    };
    bool fail(const std::string &why);
    bool deadlinePassed(uint64_t deadline) const { return clock_.now() >= deadline; }
    // What one try of a wait found: done, not yet, or a failure (error() says which).
    enum class Poll { Done, Again, Failed };
    // Tries `step` until it is done or fails, pausing between tries as
    // `pause` says; once `deadline` has passed, fails with `timeout()`.
    bool pollUntil(uint64_t deadline, Backoff &pause, const std::function<Poll()> &step,
                   const std::function<std::string()> &timeout);
    // The same, with a deadline timeoutNs from now.
    bool pollUntil(const std::function<Poll()> &step, const std::function<std::string()> &timeout);

    Exchange exchange_;
    Clock clock_;
    uint8_t index_ = 0;
    std::string error_;
};

} // namespace ecprobe
