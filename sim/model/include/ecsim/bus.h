// A chain of simulated EtherCAT slaves that processes frames in memory, the
// way the real chain processes them on the wire.
//
// Behaviour worth knowing when writing a master against it:
// - Every slave processes all datagrams of a frame before the next slave sees
//   it. Slaves answer a datagram only when the whole address range lies in
//   their memory (8 KiB for most kinds, more for large process images).
// - Time: the bus clock (setClock) is read once per frame. Writes to AL
//   control, SII control and the SyncManagers take effect at the end of the
//   frame; what they start (an EEPROM read, a state change, a mailbox reply)
//   is done after the device's time, seen by the first frame after it.
// - Process-data SyncManager areas (SM2/SM3) are closed below SAFE-OP: a read
//   or write there does not count. A mailbox-in area reads only while full; a
//   mailbox-out area cannot be read, and not written while full.
// - SII: busy for the EEPROM's time after the frame that wrote the command;
//   errors stay until command 000. See sii_eeprom.cpp.
// - AL: a refused request sets the error indication until acknowledged; see
//   al_state.cpp for the rules. Mailbox replies and repeat requests: see
//   mailbox.cpp.
// - CoE complete access: subindexes back to back, sub 0 padded to 16 bits when
//   the transfer starts at sub 0. Objects larger than the mailbox go out as a
//   normal response carrying the first part, then upload segments.
// - DC receive times (0x0900..) and 0x0918 hold the slave's local time (system
//   time without the offset in 0x0920); each slave's local clock is the bus
//   clock plus its own fixed skew, and the frame takes Slave::HopDelayNs per hop.
// - The circulating bit passes unchanged: no slave in the chain has a closed
//   port 0. SII writes are not modelled (the EEPROM does not acknowledge them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ecsim {

class Slave;

struct BusStats {
    uint64_t frames = 0;      // frames handed to handleFrame
    uint64_t answered = 0;    // frames processed and returned
    uint64_t malformed = 0;   // not EtherCAT or malformed: dropped
    uint64_t datagrams = 0;   // datagrams processed
    uint64_t lost = 0;        // processed, but the reply was lost on purpose (lose-reply)
};

class Bus {
public:
    ~Bus();
    // slaves: comma-separated devices, first = position 0, each a kind with options after '+',
    // e.g. "sensor,dig-out+keep-mac,dig-in+sii4+al-delay=20". Returns nullptr and sets *error (if
    // non-null) for an unknown kind or option, an option the kind cannot have, or an empty list.
    static std::unique_ptr<Bus> create(const std::string &slaves, std::string *error = nullptr);
    // Processes one received Ethernet frame (destination MAC first, no FCS) as the chain of slaves
    // would. Returns true and fills `reply` with the frame the chain sends back (the same frame,
    // processed, with bit 1 (0x02) of the source MAC's first byte set unless every slave keeps
    // the MAC); returns false when the frame is not an EtherCAT frame or is malformed (it is
    // dropped and counted), or when the slaves processed it but its reply is lost on the way
    // back (lastFrameLost()).
    bool handleFrame(const uint8_t *frame, size_t len, std::vector<uint8_t> &reply);
    bool lastFrameLost() const { return lastLost_; }
    // One line of the control channel for slave-level behaviour; returns "ok" or "error: <why>".
    // The slaves first catch up on what fell due (advance()).
    std::string command(const std::string &line);
    // Lets every slave do the work that fell due by now (EEPROM reads, state
    // changes, mailbox replies, the process-data watchdog) while no frame
    // passes: a slave's firmware does not wait for the next frame.
    void advance();
    size_t slaveCount() const;
    // Clock used for the slaves' timing, profiles, timed faults and the DC system time; defaults
    // to the monotonic clock. Tests may install their own (nanoseconds); installing one counts as
    // the slaves' power-up.
    void setClock(std::function<uint64_t()> nowNs);

    // Additions for tests and the program
    const BusStats &stats() const { return stats_; }
    std::string lastError() const { return lastError_; } // why the last frame was dropped
    Slave &slave(size_t position);                          // 0-based
    uint64_t now() const;
    // The comma-separated lists of device kinds and options create() accepts.
    static std::string deviceKinds();
    static std::string deviceOptions();

private:
    Bus();
    std::vector<std::unique_ptr<Slave>> slaves_;
    std::function<uint64_t()> clock_;
    BusStats stats_;
    std::string lastError_;
    bool lastLost_ = false;
};

} // namespace ecsim
