#include "esc_commands.h"

#include "command_words.h"
#include "slave.h"

namespace ecsim {

namespace {
std::string needsMailbox(const Slave &s, const std::string &who)
{
    return s.device().hasMailbox() ? std::string() : "error: " + who + " has no mailbox";
}
} // namespace

std::string escCommandList() { return "sii-nack, lose-reply, stale-reply, al-delay, sdo-delay, sii-busy"; }

bool escCommand(Slave &s, const std::string &who, const std::string &cmd, const std::vector<std::string> &args,
                std::string &answer)
{
    uint64_t n = 1;
    if (cmd == "sii-nack") {
        if (args.size() != 1 || !parseUnsigned(args[0], UINT32_MAX, n))
            answer = "error: usage: sii-nack COUNT (the next COUNT EEPROM reads are not acknowledged)";
        else {
            s.failSiiReads(static_cast<uint32_t>(n));
            answer = "ok";
        }
        return true;
    }
    if (cmd == "lose-reply") {
        if (args.size() > 1 || (args.size() == 1 && !parseUnsigned(args[0], UINT32_MAX, n)))
            answer = "error: usage: lose-reply [COUNT] (the next COUNT mailbox replies read are lost on the way back)";
        else if (!(answer = needsMailbox(s, who)).empty())
            return true;
        else {
            s.loseReplies(static_cast<uint32_t>(n));
            answer = "ok";
        }
        return true;
    }
    if (cmd == "stale-reply") {
        if (!args.empty())
            answer = "error: usage: stale-reply";
        else if (!s.device().coe)
            answer = "error: " + who + " does not speak CoE";
        else {
            s.putStaleReply();
            answer = "ok";
        }
        return true;
    }
    const bool al = cmd == "al-delay", sdo = cmd == "sdo-delay", sii = cmd == "sii-busy";
    if (!al && !sdo && !sii)
        return false;
    const uint64_t max = timingLimit(cmd);
    const char *unit = timingInMicroseconds(cmd) ? "US" : "MS";
    if (args.size() != 1 || !parseUnsigned(args[0], max, n)) {
        answer = "error: usage: " + cmd + " " + unit + " (0 to " + std::to_string(max) + ")";
        return true;
    }
    if (sdo && !(answer = needsMailbox(s, who)).empty())
        return true;
    setTiming(s.deviceForChanges().timing, cmd, n);
    answer = "ok";
    return true;
}

} // namespace ecsim
