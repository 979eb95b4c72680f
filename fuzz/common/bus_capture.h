// What a bring-up of the master on the in-process slave model leaves for
// seeds: the SII images the model serves, rebuilt from the SII reads that
// went over the wire, and the mailbox areas the master read (CoE replies).
#pragma once

#include "master_fixture.h"
#include "stepped_bring_up.h"

#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <map>
#include <vector>

namespace fuzzbus {

namespace reg = ecwire::reg;

// SII interface registers as the master reads them in one datagram.
constexpr size_t kSiiAddressAt = reg::SiiAddress - reg::SiiControl;
constexpr size_t kSiiDataAt = reg::SiiData - reg::SiiControl;
constexpr uint16_t kSiiErrors = reg::SiiChecksumError | reg::SiiDeviceInfoError | reg::SiiCommandError;

struct Capture {
    std::map<uint16_t, std::vector<uint16_t>> siiImages; // by station address
    std::vector<std::vector<uint8_t>> mailboxReads;     // mailbox-in areas read
};

// Brings the bus up and collects what went over the wire.
inline bool captureBringUp(const std::string &slaves, Capture &out)
{
    MasterOnSim m(slaves);
    if (!m.sim.ok())
        return false;
    const bool up = steppedBringUp(m, true) > 0;

    std::map<uint16_t, std::map<uint32_t, uint16_t>> words;
    for (const SimTransport::Exchange &x : m.sim.log) {
        ecwire::ParsedFrame parsed;
        if (x.reply.empty() ||
            ecwire::parseFrame(x.reply.data(), x.reply.size(), parsed) != ecwire::ParseError::None)
            continue;
        for (const ecwire::DatagramView &d : parsed.datagrams) {
            const uint8_t *data = x.reply.data() + d.dataOffset;
            if (d.command != uint8_t(ecwire::Command::FPRD) || d.wkc != 1)
                continue;
            if (d.ado == reg::SiiControl && d.length >= kSiiDataAt + 4) {
                const uint16_t status = ecwire::getU16(data);
                if (status & (reg::SiiBusy | kSiiErrors))
                    continue;
                const uint32_t addr = ecwire::getU32(data + kSiiAddressAt);
                const int n = (status & reg::SiiRead8Bytes) && d.length >= kSiiDataAt + 8 ? 4 : 2;
                for (int i = 0; i < n; ++i)
                    words[d.adp][addr + uint32_t(i)] = ecwire::getU16(data + kSiiDataAt + 2 * i);
                continue;
            }
            for (int s = 1; s <= m.c()->slavecount; ++s) {
                const ec_slavet &sl = m.slave(s);
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
    return up;
}

} // namespace fuzzbus
