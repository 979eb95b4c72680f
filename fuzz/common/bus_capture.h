// What a bring-up of the master on the in-process slave model leaves for
// seeds: the SII images the model serves, rebuilt from the SII reads that
// went over the wire, and the mailbox areas the master read (CoE replies).
#pragma once

#include "bus_transport.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>

#include <map>
#include <vector>

namespace fuzzbus {

// SII interface registers as the master reads them in one datagram.
constexpr uint16_t kSiiControl = 0x0502;
constexpr size_t kSiiAddressAt = 2;     // 0x0504 - 0x0502
constexpr size_t kSiiDataAt = 6;        // 0x0508 - 0x0502
constexpr uint16_t kSiiBusy = 0x8000;
constexpr uint16_t kSiiErrors = 0x3800; // checksum, device info, command errors
constexpr uint16_t kSiiRead8 = 0x0040;

struct Capture {
    std::map<uint16_t, std::vector<uint16_t>> siiImages; // by station address
    std::vector<std::vector<uint8_t>> mailboxReads;     // mailbox-in areas read
};

// Brings the bus up and collects what went over the wire.
inline bool captureBringUp(const std::string &slaves, Capture &out)
{
    std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create(slaves);
    if (!bus)
        return false;
    bus->setClock(steppingClock());
    BusTransport t(*bus);
    ecx_contextt ctx;
    std::memset(&ctx, 0, sizeof ctx);
    static uint8_t iomap[4096];
    ecx_init_transport(&ctx, &t);
    const bool up = bringUp(&ctx, iomap, sizeof iomap) > 0;

    std::map<uint16_t, std::map<uint32_t, uint16_t>> words;
    for (const Exchange &x : t.log) {
        ecwire::ParsedFrame parsed;
        if (x.reply.empty() ||
            ecwire::parseFrame(x.reply.data(), x.reply.size(), parsed) != ecwire::ParseError::None)
            continue;
        for (const ecwire::DatagramView &d : parsed.datagrams) {
            const uint8_t *data = x.reply.data() + d.dataOffset;
            if (d.command != uint8_t(ecwire::Command::FPRD) || d.wkc != 1)
                continue;
            if (d.ado == kSiiControl && d.length >= kSiiDataAt + 4) {
                const uint16_t status = ecwire::getU16(data);
                if (status & (kSiiBusy | kSiiErrors))
                    continue;
                const uint32_t addr = ecwire::getU32(data + kSiiAddressAt);
                const int n = (status & kSiiRead8) && d.length >= kSiiDataAt + 8 ? 4 : 2;
                for (int i = 0; i < n; ++i)
                    words[d.adp][addr + uint32_t(i)] = ecwire::getU16(data + kSiiDataAt + 2 * i);
                continue;
            }
            for (int s = 1; s <= ctx.slavecount; ++s) {
                const ec_slavet &sl = ctx.slavelist[s];
                if (sl.mbx_rl > 0 && d.adp == sl.configadr && d.ado == sl.mbx_ro)
                    out.mailboxReads.emplace_back(data, data + d.length);
            }
        }
    }
    for (const auto &station : words) {
        // Words the master did not read (the reserved header words) are 0.
        std::vector<uint16_t> image;
        if (!station.second.empty())
            image.assign(station.second.rbegin()->first + 1, 0);
        for (const auto &word : station.second)
            image[word.first] = word.second;
        out.siiImages[station.first] = image;
    }
    ecx_close(&ctx);
    return up;
}

} // namespace fuzzbus
