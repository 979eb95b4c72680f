// CoE SDO upload over a slave's mailbox.
#ifndef ETHERCAT_COE_H
#define ETHERCAT_COE_H

#include <soem/soem.h>

#include <ecwire/mailbox.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ethercat {

// Why an upload failed.
struct SdoError {
    enum Kind {
        None,
        Aborted,   // the slave answered with an SDO abort (code in abortCode)
        NoReply,   // the mailbox did not answer in time: further requests are pointless
        Unmatched, // messages came, none of them the reply, until the time was up
        Other,     // a mailbox error reply, a malformed transfer, no usable mailbox
    };
    Kind kind = None;
    uint32_t abortCode = 0;
    std::string text;
};

// A slave answers an SDO request within this (slow devices take about a
// second).
constexpr int kSdoTimeoutUs = 3000000;

// Whether both of the slave's mailboxes hold the smallest SDO message.
inline bool sdoMailbox(const ec_slavet &s)
{
    return s.mbx_l >= ecwire::coe::SdoMinMessage && s.mbx_rl >= ecwire::coe::SdoMinMessage;
}

// Uploads object index:subindex (all subindexes from `subindex` on with
// complete access) from slave number `slave`. The reply must name the same
// object; other messages (late replies, one left by an earlier master,
// emergencies, other protocols) are read and dropped. Returns false with
// *err saying why.
bool sdoUpload(ecx_contextt *c, uint16_t slave, uint16_t index, uint8_t subindex, bool completeAccess,
               std::vector<uint8_t> &data, SdoError *err);

} // namespace ethercat

#endif
