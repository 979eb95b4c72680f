#include "fake_mailbox.h"

#include "engine.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>
#include <ecwire/sii.h>

#include <algorithm>
#include <cstring>

namespace {

namespace reg = ecwire::reg;

constexpr uint16_t kStatus = reg::sm(1) + ecwire::sm::Status;
constexpr uint16_t kActivate = reg::sm(1) + ecwire::sm::Activate;
constexpr uint16_t kPdiControl = reg::sm(1) + ecwire::sm::PdiControl;
constexpr uint16_t kOtherIndex = 0x6000;

} // namespace

FakeMailbox::FakeMailbox(uint16_t writeSize, uint16_t readSize)
    : writeSize_(writeSize), readSize_(readSize), readArea_(readSize, 0)
{
}

void FakeMailbox::attach(ecx_contextt *c, uint8_t coeDetails)
{
    ecx_init_transport(c, this);
    c->slavecount = 1;
    ec_slavet &s = c->slavelist[1];
    s.configadr = Station;
    s.mbx_wo = WriteAt;
    s.mbx_l = writeSize_;
    s.mbx_ro = ReadAt;
    s.mbx_rl = readSize_;
    s.mbx_proto = ecwire::sii::ProtoCoE;
    s.CoEdetails = coeDetails;
    // The SII's SyncManager category as most devices have it.
    const uint8_t types[] = {ecwire::sii::SmMailboxOut, ecwire::sii::SmMailboxIn, ecwire::sii::SmOutputs,
                             ecwire::sii::SmInputs};
    ethercat::bookOf(c, 1).smCount = 4;
    for (uint8_t i = 0; i < 4; ++i)
        s.SMtype[i] = types[i];
}

void FakeMailbox::setList(uint16_t index, const std::vector<uint32_t> &values, size_t width)
{
    std::vector<std::vector<uint8_t>> subs;
    subs.push_back({uint8_t(values.size())});
    for (uint32_t v : values) {
        std::vector<uint8_t> b(width);
        if (width == 1)
            b[0] = uint8_t(v);
        else if (width == 2)
            ecwire::putU16(b.data(), uint16_t(v));
        else
            ecwire::putU32(b.data(), v);
        subs.push_back(b);
    }
    od_[index] = subs;
}

uint8_t FakeMailbox::nextCounter()
{
    counter_ = fixedCounter ? 1 : ecwire::mbx::nextCounter(counter_);
    return counter_;
}

// A CoE emergency (service 1): error code 0x8130 (heartbeat), register 0x10.
std::vector<uint8_t> FakeMailbox::emergency()
{
    std::vector<uint8_t> m(ecwire::mbx::HeaderSize + ecwire::coe::HeaderSize + 8, 0);
    ecwire::MailboxHeader h;
    h.length = uint16_t(ecwire::coe::HeaderSize + 8);
    h.type = ecwire::mbx::TypeCoE;
    h.counter = nextCounter();
    ecwire::encodeMailboxHeader(m.data(), h);
    ecwire::putU16(m.data() + ecwire::coe::Header, uint16_t(ecwire::coe::ServiceEmergency << ecwire::coe::ServiceShift));
    ecwire::putU16(m.data() + ecwire::coe::Header + ecwire::coe::HeaderSize, 0x8130);
    m[ecwire::coe::Header + ecwire::coe::HeaderSize + 2] = 0x10;
    return m;
}

void FakeMailbox::post(std::vector<uint8_t> message, int delayUs)
{
    pending_.push_back({std::move(message), std::chrono::steady_clock::now() + std::chrono::microseconds(delayUs)});
}

void FakeMailbox::putInReadArea(const std::vector<uint8_t> &message)
{
    std::fill(readArea_.begin(), readArea_.end(), 0);
    std::copy(message.begin(), message.begin() + long(std::min(message.size(), readArea_.size())), readArea_.begin());
    inArea_ = message;
    full_ = true;
}

void FakeMailbox::fillReadArea()
{
    if (full_)
        return;
    if (emergencyFlood) {
        putInReadArea(emergency());
        return;
    }
    if (pending_.empty() || std::chrono::steady_clock::now() < pending_.front().readyAt)
        return;
    putInReadArea(pending_.front().message);
    pending_.pop_front();
}

std::vector<uint8_t> FakeMailbox::transfer(uint16_t index, uint8_t subindex, const std::vector<uint8_t> &data)
{
    const size_t room = ecwire::sdoNormalCapacity(readSize_);
    if (style == Style::Expedited && data.size() <= 4)
        return ecwire::encodeSdoExpeditedResponse(index, subindex, data.data(), data.size(), nextCounter());
    if (style != Style::Segmented && data.size() <= room)
        return ecwire::encodeSdoNormalResponse(index, subindex, uint32_t(data.size()), data.data(), data.size(),
                                               nextCounter());
    // Segmented: the initiate reply carries the size only (or, without the
    // size indicated, nothing), 7-byte segments follow.
    segments_.clear();
    for (size_t at = 0; at < data.size(); at += ecwire::coe::SegmentMinData) {
        std::vector<uint8_t> part(data.begin() + long(at),
                                  data.begin() + long(std::min(data.size(), at + ecwire::coe::SegmentMinData)));
        if (sloppyLastSegment)
            part.resize(ecwire::coe::SegmentMinData, 0xEE);
        segments_.push_back(part);
    }
    std::vector<uint8_t> initiate =
        ecwire::encodeSdoNormalResponse(index, subindex, uint32_t(data.size()), nullptr, 0, nextCounter());
    if (sizeNotIndicated) {
        initiate[ecwire::coe::Sdo + ecwire::coe::SdoCommand] = ecwire::coe::CcsUpload; // 0x40
        ecwire::putU32(initiate.data() + ecwire::coe::Sdo + ecwire::coe::SdoData, 0); // reserved
    }
    return initiate;
}

std::vector<uint8_t> FakeMailbox::upload(const ecwire::SdoRequest &r)
{
    if (r.kind == ecwire::SdoRequest::UploadSegment) {
        if (segments_.empty())
            return ecwire::encodeSdoAbort(0, 0, ecwire::coe::AbortUnknownCommand, nextCounter());
        const std::vector<uint8_t> part = segments_.front();
        segments_.pop_front();
        std::vector<uint8_t> m =
            ecwire::encodeSdoSegmentResponse(r.toggle, segments_.empty(), part.data(), part.size(), nextCounter());
        if (unpaddedLastSegment && segments_.empty()) {
            const size_t length = ecwire::coe::HeaderSize + ecwire::coe::SegmentData + part.size();
            ecwire::putU16(m.data() + ecwire::mbx::Length, uint16_t(length));
            m.resize(ecwire::mbx::HeaderSize + length);
        }
        return m;
    }
    const auto it = od_.find(r.index);
    if (it == od_.end())
        return ecwire::encodeSdoAbort(r.index, r.subindex, ecwire::coe::AbortNoObject, nextCounter());
    const std::vector<std::vector<uint8_t>> &subs = it->second;
    std::vector<uint8_t> data;
    if (r.completeAccess) {
        ++completeAccessRequests;
        if (caAbortWithoutObject)
            return ecwire::encodeSdoAbort(0, 0, ecwire::coe::AbortUnknownCommand, nextCounter());
        if (!completeAccess || r.subindex > 1)
            return ecwire::encodeSdoAbort(r.index, r.subindex, ecwire::coe::AbortUnsupportedAccess, nextCounter());
        for (size_t k = r.subindex; k < subs.size(); ++k) {
            data.insert(data.end(), subs[k].begin(), subs[k].end());
            if (k == 0)
                data.push_back(0); // subindex 0 padded to 16 bits
        }
    } else {
        if (r.subindex >= subs.size())
            return ecwire::encodeSdoAbort(r.index, r.subindex, ecwire::coe::AbortNoSubindex, nextCounter());
        data = subs[r.subindex];
    }
    return transfer(r.index, r.subindex, data);
}

void FakeMailbox::onRequest(const uint8_t *area, size_t len)
{
    ecwire::SdoRequest r;
    uint16_t mailboxError = 0;
    ++requests;
    if (!ecwire::decodeSdoRequest(area, len, r, &mailboxError) || mailboxErrorReply) {
        post(ecwire::encodeMailboxError(mailboxError ? mailboxError : mailboxErrorReply, nextCounter()));
        return;
    }
    if (requests == repeatBeforeRequest && !lastRead_.empty())
        post(lastRead_);
    if (requests == foreignBeforeRequest) {
        const uint8_t one = 1;
        post(ecwire::encodeSdoExpeditedResponse(kOtherIndex, 1, &one, 1, nextCounter()));
    }
    const int delay = firstReplyDelayUs;
    firstReplyDelayUs = 0;
    post(upload(r), delay);
}

bool FakeMailbox::send(const uint8_t *frame, size_t len)
{
    if (!started_) {
        started_ = true;
        for (std::vector<uint8_t> &m : waiting)
            post(m);
    }
    fillReadArea();
    std::vector<uint8_t> reply(frame, frame + len);
    ecwire::ParsedFrame p;
    if (ecwire::parseFrame(reply.data(), reply.size(), p) != ecwire::ParseError::None)
        return true;
    bool lose = false;
    bool repeatAsked = false;
    for (const ecwire::DatagramView &d : p.datagrams) {
        uint8_t *data = reply.data() + d.dataOffset;
        uint16_t wkc = 0;
        const auto c = ecwire::Command(d.command);
        if (d.adp == Station && (c == ecwire::Command::FPRD || c == ecwire::Command::FPWR)) {
            const bool read = c == ecwire::Command::FPRD;
            if (read && d.ado == kStatus && d.length == 1) {
                data[0] = full_ ? ecwire::sm::StatusMailboxFull : 0;
                wkc = 1;
            } else if (d.ado == kActivate && d.length == 1) {
                if (read) {
                    data[0] = activate_;
                } else {
                    repeatAsked = ((data[0] ^ activate_) & ecwire::sm::ActivateRepeat) != 0;
                    activate_ = data[0];
                }
                wkc = 1;
            } else if (read && d.ado == kPdiControl && d.length == 1) {
                data[0] = pdiControl_;
                wkc = 1;
            } else if (!read && d.ado == WriteAt && d.length == writeSize_) {
                onRequest(data, d.length);
                wkc = 1;
            } else if (read && d.ado == ReadAt && d.length == readSize_ - 1 && full_) {
                std::memcpy(data, readArea_.data(), d.length); // the last byte not read: stays full
                wkc = 1;
            } else if (read && d.ado == ReadAt && d.length == readSize_ && full_ && dropNextReadRequest) {
                dropNextReadRequest = false;
                lose = true; // lost before the slave: nothing happened
            } else if (read && d.ado == ReadAt && d.length == readSize_ && full_) {
                std::memcpy(data, readArea_.data(), readSize_);
                lastRead_ = inArea_;
                if (ecwire::getU16(inArea_.data() + ecwire::coe::Header) >> ecwire::coe::ServiceShift
                    == ecwire::coe::ServiceEmergency)
                    ++emergencies;
                full_ = false;
                wkc = 1;
                if (dropNextReadReply) {
                    dropNextReadReply = false;
                    lose = true;
                    if (emergencyAfterLostRead) // the slave's next message goes in at once
                        putInReadArea(emergency());
                }
            }
        }
        ecwire::putU16(reply.data() + d.wkcOffset, wkc);
    }
    if (repeatAsked) {
        // The slave writes its last message again, then acknowledges.
        ++repeats;
        if (full_) // an unread message waits behind the repeated one
            pending_.push_front({inArea_, std::chrono::steady_clock::now()});
        pending_.push_front({lastRead_, std::chrono::steady_clock::now()});
        full_ = false;
        const bool flood = emergencyFlood;
        emergencyFlood = false;
        fillReadArea();
        emergencyFlood = flood;
        pdiControl_ = uint8_t((activate_ & ecwire::sm::ActivateRepeat) ? (pdiControl_ | ecwire::sm::PdiRepeatAck)
                                                                       : (pdiControl_ & ~ecwire::sm::PdiRepeatAck));
    }
    reply[ecwire::eth::Source] |= ecwire::eth::SourceReturnedBit; // as a hardware ESC marks it
    if (!lose)
        queue_.push_back(std::move(reply));
    return true;
}
