#include "commands.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace ecsim {

namespace {

std::vector<std::string> words(const std::string &line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w)
        out.push_back(w);
    return out;
}

bool parseDouble(const std::string &s, double &out)
{
    if (s.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    out = std::strtod(s.c_str(), &end);
    return errno == 0 && end == s.c_str() + s.size();
}

bool parseU64(const std::string &s, uint64_t &out)
{
    if (s.empty() || s[0] == '-' || s[0] == '+')
        return false;
    char *end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(s.c_str(), &end, 10);
    if (errno != 0 || end != s.c_str() + s.size())
        return false;
    out = v;
    return true;
}

}  // namespace

std::string formatCounters(const FrameCounters &c)
{
    std::ostringstream o;
    o << "received=" << c.received << " answered=" << c.answered << " dropped=" << c.dropped
      << " silenced=" << c.silenced << " corrupted=" << c.corrupted << " truncated=" << c.truncated
      << " malformed=" << c.malformed << " lost=" << c.lost << " non-ethercat=" << c.nonEthercat
      << " send-errors=" << c.sendErrors;
    return o.str();
}

std::string CommandInterpreter::fraction(const std::string &name, const std::string &args,
                                         std::string (FrameFaults::*set)(double))
{
    const std::vector<std::string> w = words(args);
    double f = 0;
    if (w.size() != 1 || !parseDouble(w[0], f))
        return "error: usage: " + name + " FRACTION (a number from 0 to 1)";
    const std::string e = (faults_.*set)(f);
    return e.empty() ? "ok" : "error: " + name + ": " + e;
}

std::string CommandInterpreter::execute(const std::string &line)
{
    const std::vector<std::string> w = words(line);
    if (w.empty() || w[0][0] == '#')
        return {};
    const std::string &cmd = w[0];
    const size_t argsAt = line.find(cmd) + cmd.size();
    const std::string args = line.substr(argsAt);

    if (cmd == "drop")
        return fraction(cmd, args, &FrameFaults::setDrop);
    if (cmd == "corrupt")
        return fraction(cmd, args, &FrameFaults::setCorrupt);
    if (cmd == "truncate")
        return fraction(cmd, args, &FrameFaults::setTruncate);
    if (cmd == "silence") {
        double seconds = 0;
        if (w.size() == 2 && w[1] == "off")
            seconds = 0;
        else if (w.size() != 2 || !parseDouble(w[1], seconds))
            return "error: usage: silence SECONDS | silence off";
        const std::string e = faults_.setSilence(seconds);
        return e.empty() ? "ok" : "error: silence: " + e;
    }
    if (cmd == "seed") {
        uint64_t seed = 0;
        if (w.size() != 2 || !parseU64(w[1], seed))
            return "error: usage: seed N (a non-negative integer)";
        faults_.seed(seed);
        return "ok";
    }
    if (cmd == "stats") {
        if (w.size() != 1)
            return "error: usage: stats (or 'slave N stats' for one slave)";
        std::string answer = "ok " + formatCounters(counters_);
        const std::string slaves = toSlaves_ ? toSlaves_("stats") : std::string();
        if (slaves.rfind("ok", 0) == 0 && slaves.size() > 3)
            answer += " | slaves: " + slaves.substr(3);
        return answer;
    }
    if (cmd == "quit") {
        if (w.size() != 1)
            return "error: usage: quit";
        quit_ = true;
        return "ok";
    }
    if (!toSlaves_)
        return "error: unknown command '" + cmd + "'";
    std::string answer = toSlaves_(line);
    if (answer.empty())
        answer = "error: no answer from the slaves";
    return answer;
}

}  // namespace ecsim
