// The context's error list (ecx_pusherror, ecx_poperror, ecx_iserror,
// ecx_elist2string): what the master records there, where SOEM records it.
#ifndef ETHERCAT_ERROR_LIST_H
#define ETHERCAT_ERROR_LIST_H

#include <soem/soem.h>

#include <ecwire/mailbox.h>

#include <cstdint>
#include <string>

namespace ethercat {

// Empties the list (a new session: it may have held anything).
void clearErrors(ecx_contextt *context);

void recordSdoAbort(ecx_contextt *context, uint16_t slave, uint16_t index, uint8_t subindex, uint32_t code);
void recordEmergency(ecx_contextt *context, uint16_t slave, const ecwire::Emergency &e);
void recordMailboxError(ecx_contextt *context, uint16_t slave, uint16_t detail);

// Packet errors: a mailbox reply the master could not use.
enum PacketError : uint16_t {
    kUnexpectedReply = 1, // a reply that is not the one asked for ended the transfer
    kDataDoesNotFit = 3,  // the data does not fit what the object can hold
};
void recordPacketError(ecx_contextt *context, uint16_t slave, uint16_t index, uint8_t subindex, PacketError code);

// One entry in words: "slave 1: SDO abort on 0x1C13:00: 0x06020000 (the
// object does not exist in the object dictionary)".
std::string errorText(const ec_errort &e);

} // namespace ethercat

#endif
