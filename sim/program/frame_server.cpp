#include "frame_server.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>

namespace ecsim {

namespace {

// Another protocol on the wire, or an EtherCAT header of a type other than datagrams.
bool isOtherProtocol(const uint8_t *data, size_t len)
{
    if (len < ecwire::eth::HeaderSize)
        return false;  // too short to tell: malformed
    if (ecwire::getU16Be(data + ecwire::eth::EtherType) != ecwire::EtherTypeEcat)
        return true;
    if (len < ecwire::ecat::FirstDatagram)
        return false;
    const uint16_t header = ecwire::getU16(data + ecwire::ecat::Offset);
    return (header >> ecwire::ecat::TypeShift) != ecwire::ecat::TypeDatagrams;
}

}  // namespace

void FrameServer::onFrame(const uint8_t *data, size_t caplen, size_t wirelen)
{
    ++counters_.received;
    if (caplen < wirelen) {
        ++counters_.malformed;
        return;
    }
    if (isOtherProtocol(data, caplen)) {
        ++counters_.nonEthercat;
        return;
    }
    if (faults_.silent()) {
        ++counters_.silenced;
        return;
    }
    if (faults_.dropIncoming()) {
        ++counters_.dropped;
        return;
    }
    switch (process_(data, caplen, reply_)) {
    case Outcome::Reply:
        break;
    case Outcome::Malformed:
        ++counters_.malformed;
        return;
    case Outcome::Lost:
        ++counters_.lost;
        return;
    }
    const unsigned applied = faults_.mangleReply(reply_);
    if (applied & FrameFaults::Corrupted)
        ++counters_.corrupted;
    if (applied & FrameFaults::Truncated)
        ++counters_.truncated;
    if (send_(reply_.data(), reply_.size()))
        ++counters_.answered;
    else
        ++counters_.sendErrors;
}

}  // namespace ecsim
