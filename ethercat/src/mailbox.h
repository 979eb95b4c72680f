// A slave's mailbox: requests into the write mailbox (SyncManager 0's area),
// replies out of the read mailbox (SyncManager 1's area), a lost reply
// recovered with the repeat request.
#ifndef ETHERCAT_MAILBOX_H
#define ETHERCAT_MAILBOX_H

#include <soem/soem.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ethercat {

enum class MbxResult { Ok, Timeout, Failed };

// Writes one message into the write mailbox, retrying while it is full
// until `deadlineUs`.
MbxResult mbxSend(ecx_contextt *c, const ec_slavet &s, const std::vector<uint8_t> &msg, int64_t deadlineUs,
                  std::string *why);

// Waits until `deadlineUs` for the read mailbox of slave number `slave` to
// fill and reads it into `buf` (the whole area); the master's record of the
// slave remembers the message taken. A
// read whose frame got lost on its way back is recovered with a repeat
// request; the message the slave then repeats is dropped when it turns out
// to be one already taken.
MbxResult mbxReceive(ecx_contextt *c, int slave, std::vector<uint8_t> &buf, int64_t deadlineUs,
                     std::string *why);

// Reads and drops whatever waits in the read mailbox of slave number
// `slave` (a reply left by an earlier master session), once per bus
// configuration: later calls do nothing.
void mbxDrain(ecx_contextt *c, int slave);

} // namespace ethercat

#endif
