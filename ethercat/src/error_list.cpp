#include "error_list.h"

#include <ecwire/hex.h>

#include <chrono>
#include <cstring>

namespace ethercat {

namespace {

constexpr int kRing = EC_MAXELIST + 1; // one slot stays free: head == tail is empty

// A ring whose ends lie outside it (a context never cleared) counts as empty.
bool sane(const ec_eringt &r)
{
    return r.head >= 0 && r.head < kRing && r.tail >= 0 && r.tail < kRing;
}

int16_t next(int16_t at)
{
    return int16_t((at + 1) % kRing);
}

ec_errort entry(uint16_t slave, ec_err_type type, uint16_t index, uint8_t subindex)
{
    ec_errort e;
    std::memset(&e, 0, sizeof e);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                        std::chrono::system_clock::now().time_since_epoch())
                        .count();
    e.Time.tv_sec = decltype(e.Time.tv_sec)(ns / 1000000000);
    e.Time.tv_nsec = long(ns % 1000000000);
    e.Slave = slave;
    e.Etype = type;
    e.Index = index;
    e.SubIdx = subindex;
    return e;
}

std::string objectText(const ec_errort &e)
{
    return ecwire::hex(e.Index, 4) + ":" + ecwire::hex(e.SubIdx, 2).substr(2);
}

} // namespace

void clearErrors(ecx_contextt *context)
{
    context->elist.head = 0;
    context->elist.tail = 0;
    context->ecaterror = FALSE;
}

void recordSdoAbort(ecx_contextt *context, uint16_t slave, uint16_t index, uint8_t subindex, uint32_t code)
{
    ec_errort e = entry(slave, EC_ERR_TYPE_SDO_ERROR, index, subindex);
    e.AbortCode = int32_t(code);
    ecx_pusherror(context, &e);
}

void recordEmergency(ecx_contextt *context, uint16_t slave, const ecwire::Emergency &m)
{
    ec_errort e = entry(slave, EC_ERR_TYPE_EMERGENCY, 0, 0);
    e.ErrorCode = m.errorCode;
    e.ErrorReg = m.errorRegister;
    e.b1 = m.data[0];
    e.w1 = uint16_t(m.data[1] | m.data[2] << 8);
    e.w2 = uint16_t(m.data[3] | m.data[4] << 8);
    ecx_pusherror(context, &e);
}

void recordMailboxError(ecx_contextt *context, uint16_t slave, uint16_t detail)
{
    ec_errort e = entry(slave, EC_ERR_TYPE_MBX_ERROR, 0, 0);
    e.ErrorCode = detail;
    ecx_pusherror(context, &e);
}

void recordPacketError(ecx_contextt *context, uint16_t slave, uint16_t index, uint8_t subindex, PacketError code)
{
    ec_errort e = entry(slave, EC_ERR_TYPE_PACKET_ERROR, index, subindex);
    e.ErrorCode = code;
    ecx_pusherror(context, &e);
}

std::string errorText(const ec_errort &e)
{
    const std::string who = "slave " + std::to_string(e.Slave) + ": ";
    switch (e.Etype) {
    case EC_ERR_TYPE_SDO_ERROR:
        return who + "SDO abort on " + objectText(e) + ": " + ecwire::hex(uint32_t(e.AbortCode), 8) + " ("
            + ecwire::coe::abortCodeText(uint32_t(e.AbortCode)) + ")";
    case EC_ERR_TYPE_EMERGENCY:
        return who + "emergency " + ecwire::hex(e.ErrorCode, 4) + ", error register " + ecwire::hex(e.ErrorReg, 2)
            + ", data " + ecwire::hex(e.b1, 2) + " " + ecwire::hex(e.w1, 4) + " " + ecwire::hex(e.w2, 4);
    case EC_ERR_TYPE_MBX_ERROR:
        return who + "mailbox error " + ecwire::hex(e.ErrorCode, 4) + " (" + ecwire::mbx::errorText(e.ErrorCode) + ")";
    case EC_ERR_TYPE_PACKET_ERROR:
        return who + "unusable mailbox reply for " + objectText(e) + " ("
            + (e.ErrorCode == kDataDoesNotFit ? "data does not fit" : "unexpected reply") + ")";
    }
    return who + "error of type " + std::to_string(int(e.Etype));
}

} // namespace ethercat

extern "C" void ecx_pusherror(ecx_contextt *context, const ec_errort *Ec)
{
    if (!context || !Ec)
        return;
    ec_eringt &r = context->elist;
    if (!ethercat::sane(r))
        ethercat::clearErrors(context);
    r.Error[r.head] = *Ec;
    r.Error[r.head].Signal = TRUE;
    r.head = ethercat::next(r.head);
    if (r.head == r.tail) // full: the oldest entry makes room
        r.tail = ethercat::next(r.tail);
    context->ecaterror = TRUE;
}

extern "C" boolean ecx_poperror(ecx_contextt *context, ec_errort *Ec)
{
    if (!context)
        return FALSE;
    ec_eringt &r = context->elist;
    if (!ethercat::sane(r) || r.head == r.tail) {
        context->ecaterror = FALSE;
        return FALSE;
    }
    r.Error[r.tail].Signal = FALSE;
    if (Ec)
        *Ec = r.Error[r.tail];
    r.tail = ethercat::next(r.tail);
    context->ecaterror = r.head != r.tail ? TRUE : FALSE;
    return TRUE;
}

extern "C" boolean ecx_iserror(ecx_contextt *context)
{
    if (!context)
        return FALSE;
    const ec_eringt &r = context->elist;
    return ethercat::sane(r) && r.head != r.tail ? TRUE : FALSE;
}

namespace {

// The text ecx_err2string and ecx_elist2string hand out: valid until the
// calling thread's next call of either.
char *handOut(std::string text)
{
    thread_local std::string kept;
    kept = std::move(text);
    return &kept[0];
}

} // namespace

// One entry in words, with a line end.
extern "C" char *ecx_err2string(const ec_errort Ec)
{
    return handOut(ethercat::errorText(Ec) + "\n");
}

// Takes the oldest entry off the list and says what it was (as
// ecx_err2string); an empty string when the list is empty.
extern "C" char *ecx_elist2string(ecx_contextt *context)
{
    ec_errort e;
    return handOut(ecx_poperror(context, &e) ? ethercat::errorText(e) + "\n" : std::string());
}
