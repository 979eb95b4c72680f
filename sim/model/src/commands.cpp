// The slave-level control commands (one line each), answered "ok ..." or
// "error: <why>".
#include <cctype>
#include <cstdio>
#include <sstream>

#include "ecsim/bus.h"
#include "command_words.h"
#include "ecwire/hex.h"
#include "ecwire/registers.h"
#include "esc_commands.h"
#include "profiles.h"
#include "slave.h"

namespace ecsim {

namespace {

bool parseHexBytes(const std::string &hex, std::vector<uint8_t> &out)
{
    if (hex.empty() || hex.size() % 2 != 0)
        return false;
    out.clear();
    for (size_t i = 0; i < hex.size(); i += 2) {
        if (!std::isxdigit(static_cast<unsigned char>(hex[i])) || !std::isxdigit(static_cast<unsigned char>(hex[i + 1])))
            return false;
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return true;
}

std::string stateText(uint16_t status)
{
    std::string s = ecwire::al::stateName(status);
    if (status & ecwire::al::ErrorFlag)
        s += "+ERR";
    return s;
}

} // namespace

std::string Bus::command(const std::string &line)
{
    // What the slaves did since the last frame shows in the answer.
    advance();
    std::vector<std::string> w = commandWords(line);
    if (w.empty())
        return "error: empty command";

    size_t target = slaves_.size();
    bool explicitTarget = false;
    if (w[0] == "slave") {
        uint64_t n = 0;
        if (w.size() < 3 || !parseUnsigned(w[1], slaves_.size(), n) || n == 0)
            return "error: usage: slave N COMMAND ... with N from 1 to " + std::to_string(slaves_.size());
        target = static_cast<size_t>(n - 1);
        explicitTarget = true;
        w.erase(w.begin(), w.begin() + 2);
    } else {
        for (size_t i = 0; i < slaves_.size(); ++i)
            if (slaves_[i]->device().isSensor()) {
                target = i;
                break;
            }
    }
    const std::string cmd = w[0];
    const std::vector<std::string> args(w.begin() + 1, w.end());
    const uint64_t now = clock_();

    if (cmd == "stats") {
        std::ostringstream s;
        s << "ok frames=" << stats_.frames << " answered=" << stats_.answered << " malformed=" << stats_.malformed
          << " datagrams=" << stats_.datagrams << " lost=" << stats_.lost;
        for (size_t i = 0; i < slaves_.size(); ++i) {
            Slave &sl = *slaves_[i];
            s << " slave" << (i + 1) << "=" << sl.device().kind << ":" << stateText(sl.alStatus()) << ":"
              << ecwire::hex(sl.alStatusCode());
        }
        if (target < slaves_.size()) {
            Slave &t = *slaves_[target];
            s << " [slave " << (target + 1) << " " << t.image().describe(now) << " reads=" << t.stats().reads
              << " writes=" << t.stats().writes << " refused=" << t.stats().refused
              << " mailbox=" << t.stats().mailboxRequests << " sii-reads=" << t.stats().siiReads
              << " sii-nacks=" << t.stats().siiNacks << " repeats=" << t.stats().repeats
              << " lost-replies=" << t.stats().lostReplies << "]";
        }
        return s.str();
    }

    if (target >= slaves_.size()) {
        if (explicitTarget)
            return "error: no slave " + std::to_string(target + 1);
        target = 0; // no sensor on the bus: the first slave
    }
    Slave &s = *slaves_[target];
    const std::string who = "slave " + std::to_string(target + 1) + " (" + s.device().kind + ")";
    auto needSensor = [&]() -> std::string {
        if (!s.device().isSensor())
            return "error: " + who + " is not a pressure sensor"
                + (explicitTarget ? "" : " and there is no sensor on the bus");
        return std::string();
    };

    if (cmd == "pressure") {
        if (auto e = needSensor(); !e.empty())
            return e;
        double mbar;
        if (args.size() != 1 || !parseNumber(args[0], mbar))
            return "error: usage: pressure MBAR (a number)";
        s.image().setProfile(Profile::constant(mbar), now);
        return "ok";
    }
    if (cmd == "profile") {
        if (auto e = needSensor(); !e.empty())
            return e;
        Profile p;
        std::string why;
        if (!parseProfile(args, p, &why))
            return "error: " + why;
        s.image().setProfile(p, now);
        return "ok";
    }
    if (cmd == "invalid") {
        if (auto e = needSensor(); !e.empty())
            return e;
        uint64_t count = 0;
        if (args.size() != 1)
            return "error: usage: invalid COUNT|on|off";
        if (args[0] == "on")
            s.image().setInvalidAlways(true);
        else if (args[0] == "off")
            s.image().setInvalidAlways(false);
        else if (parseUnsigned(args[0], UINT32_MAX, count))
            s.image().setInvalidCount(count);
        else
            return "error: usage: invalid COUNT|on|off ('" + args[0] + "' is not a count)";
        return "ok";
    }
    if (cmd == "invalid-for") {
        if (auto e = needSensor(); !e.empty())
            return e;
        double secs;
        if (args.size() != 1 || !parseNumber(args[0], secs) || secs < 0 || secs > 1e7)
            return "error: usage: invalid-for SECONDS (0 or more)";
        s.image().setInvalidUntil(now + static_cast<uint64_t>(secs * 1e9));
        return "ok";
    }
    if (cmd == "flags") {
        if (auto e = needSensor(); !e.empty())
            return e;
        if (args.size() != 1)
            return "error: usage: flags none|over|under|over,under";
        const std::string &f = args[0];
        uint8_t v;
        if (f == "none")
            v = 0;
        else if (f == "over")
            v = InputImage::FlagOver;
        else if (f == "under")
            v = InputImage::FlagUnder;
        else if (f == "over,under" || f == "under,over")
            v = InputImage::FlagOver | InputImage::FlagUnder;
        else
            return "error: usage: flags none|over|under|over,under ('" + f + "' is none of these)";
        s.image().setFlags(v);
        return "ok";
    }
    if (cmd == "image") {
        if (args.size() != 1)
            return "error: usage: image HEX|off";
        if (args[0] == "off") {
            s.image().clearFixed();
            return "ok";
        }
        if (s.image().size() == 0)
            return "error: " + who + " has no inputs";
        std::vector<uint8_t> bytes;
        if (!parseHexBytes(args[0], bytes))
            return "error: image needs an even number of hex digits, got '" + args[0] + "'";
        if (bytes.size() > s.image().size())
            return "error: " + who + " has a " + std::to_string(s.image().size()) + "-byte input image, got "
                + std::to_string(bytes.size()) + " bytes";
        s.image().setFixed(std::move(bytes));
        return "ok";
    }
    if (cmd == "refuse-op") {
        uint64_t code = ecwire::al::InvalidStateChange;
        if (args.size() == 1 && args[0] == "hold") {
            s.setHoldOp(true);
            return "ok";
        }
        if (args.empty() || args.size() > 2 || (args[0] != "on" && args[0] != "off")
            || (args.size() == 2 && !parseUnsigned(args[1], 0xFFFF, code)))
            return "error: usage: refuse-op on [CODE]|hold|off";
        s.setRefuseOp(args[0] == "on", static_cast<uint16_t>(code));
        return "ok";
    }
    if (cmd == "error-state") {
        if (args.size() == 1 && args[0] == "off") {
            s.releaseError();
            return "ok";
        }
        uint64_t state = 0, code = 0;
        if (args.size() != 2 || !parseUnsigned(args[0], 0xFF, state) || !parseUnsigned(args[1], 0xFFFF, code))
            return "error: usage: error-state STATE CODE (e.g. error-state 0x14 0x001B) | error-state off";
        const uint16_t st = state & ecwire::al::StateMask;
        if ((state & ~uint64_t(ecwire::al::StateMask | ecwire::al::ErrorFlag)) != 0
            || (st != ecwire::al::Init && st != ecwire::al::PreOp && st != ecwire::al::SafeOp && st != ecwire::al::Op))
            return "error: STATE must be 1, 2, 4 or 8, optionally with the error bit 0x10; got " + args[0];
        s.forceError(static_cast<uint16_t>(state), static_cast<uint16_t>(code));
        return "ok";
    }
    std::string answer;
    if (escCommand(s, who, cmd, args, answer))
        return answer;
    return "error: unknown command '" + cmd
        + "' (pressure, profile, invalid, invalid-for, flags, image, refuse-op, error-state, " + escCommandList()
        + ", stats)";
}

} // namespace ecsim
