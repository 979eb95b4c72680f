#include "args.h"

#include <ecsim/bus.h>

namespace ecsim {

namespace {

bool isFlag(const std::string &s) { return s.size() > 2 && s[0] == '-' && s[1] == '-'; }

// `text` as lines of at most `width` characters after `indent`, broken after commas.
std::string wrapped(const std::string &text, const std::string &indent, size_t width = 66)
{
    std::string out, line;
    size_t start = 0;
    while (start < text.size()) {
        size_t comma = text.find(", ", start);
        const std::string word = text.substr(start, comma == std::string::npos ? std::string::npos : comma + 1 - start);
        start = comma == std::string::npos ? text.size() : comma + 2;
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += indent + line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        out += indent + line + "\n";
    return out;
}

// Options that take exactly one value.
bool takesOneValue(const std::string &name)
{
    return name == "iface" || name == "slaves" || name == "control";
}

}  // namespace

ParseResult parseArguments(const std::vector<std::string> &args)
{
    ParseResult r;
    ProgramOptions &o = r.options;
    size_t i = 0;
    while (i < args.size()) {
        const std::string &arg = args[i];
        if (!isFlag(arg)) {
            r.error = "unexpected argument '" + arg + "' (flags start with --)";
            return r;
        }
        std::string name = arg.substr(2);
        std::string inlineValue;
        bool hasInline = false;
        const size_t eq = name.find('=');
        if (eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasInline = true;
        }
        if (name.empty()) {
            r.error = "empty flag name in '" + arg + "'";
            return r;
        }
        ++i;
        if (name == "help") {
            o.help = true;
            continue;
        }
        if (name == "no-stdin") {
            if (hasInline) {
                r.error = "--no-stdin takes no value";
                return r;
            }
            o.readStdin = false;
            continue;
        }
        if (takesOneValue(name)) {
            std::string value;
            if (hasInline) {
                value = inlineValue;
            } else if (i < args.size() && !isFlag(args[i])) {
                value = args[i++];
            }
            if (value.empty()) {
                r.error = "--" + name + " needs a value";
                return r;
            }
            if (name == "iface")
                o.iface = value;
            else if (name == "slaves")
                o.slaves = value;
            else
                o.controlPath = value;
            continue;
        }
        // Any other flag is a control command applied at start-up; its arguments are the
        // following words up to the next flag.
        std::string line = name;
        if (hasInline)
            line += " " + inlineValue;
        while (i < args.size() && !isFlag(args[i]))
            line += " " + args[i++];
        o.startupCommands.push_back(line);
    }
    if (!o.help && o.iface.empty()) {
        r.error = "--iface IF is required (the network interface to serve)";
        return r;
    }
    r.ok = true;
    return r;
}

std::string usageText(const std::string &programName)
{
    return "Usage: " + programName +
           " --iface IF [--slaves LIST] [--control SOCKET_PATH] [--seed N] [--no-stdin]\n"
           "       [--<command> <args...>]...\n"
           "\n"
           "Serves a chain of simulated EtherCAT slaves (a pressure sensor first) on the\n"
           "network interface IF: every EtherCAT frame received there is processed and sent back.\n"
           "Run it inside a private network namespace (scripts/netns-run), never on a real network.\n"
           "\n"
           "Flags:\n"
           "  --iface IF            interface to capture on and answer from (required)\n"
           "  --slaves LIST         devices in bus order, comma-separated (default: sensor); each a\n"
           "                        kind with options after '+', e.g. sensor+sii4,dig-out+keep-mac\n"
           "                        kinds:\n" +
           wrapped(Bus::deviceKinds(), "                          ") +
           "                        options:\n" +
           wrapped(Bus::deviceOptions(), "                          ") +
           "  --control PATH        also accept commands on a Unix stream socket at PATH\n"
           "                        (mode 0600; clients of the same user or root only)\n"
           "  --seed N              seed of the fault generator (same as the command 'seed N')\n"
           "  --no-stdin            do not read commands from standard input\n"
           "  --help                print this text and exit\n"
           "  --<command> ARGS...   apply a control command at start-up, e.g. --drop 0.05,\n"
           "                        --pressure 1013.25, --profile sine 1000 50 10, --refuse-op on\n"
           "\n"
           "Once it captures on IF it prints the line 'ready' on standard output.\n"
           "Commands (one per line on stdin or the control socket; each answered 'ok ...' or\n"
           "'error: <why>'):\n"
           "  Frame level:\n"
           "    drop FRACTION          lose this fraction of received frames (0..1)\n"
           "    corrupt FRACTION       flip bytes in the EtherCAT part of this fraction of replies\n"
           "    truncate FRACTION      cut this fraction of replies short\n"
           "    silence SECONDS|off    answer nothing for SECONDS (like a pulled cable)\n"
           "    seed N                 restart the fault generator with seed N\n"
           "    stats                  frame counters, then the slaves' counters after '| slaves:'\n"
           "    quit                   end the program (exit status 0)\n"
           "  Slave level (the first sensor, or the slave at 1-based position N with 'slave N ...'):\n"
           "    pressure MBAR\n"
           "    profile constant MBAR | ramp FROM TO SECONDS | sine MEAN AMPLITUDE PERIOD |\n"
           "            pumpdown [SECONDS] | leak [SECONDS [MBAR_PER_SECOND]] |\n"
           "            outgassing [SECONDS [AMPLITUDE [TAU]]] | file PATH\n"
           "                           leak: the pump-down over SECONDS (60) to 0.001 mbar, then a\n"
           "                           straight rise (1e-4 mbar/s); outgassing: the same pump-down,\n"
           "                           then a rise that flattens, 0.001 + AMPLITUDE (0.01) *\n"
           "                           (1 - exp(-t/TAU (30 s))) mbar\n"
           "    invalid COUNT | invalid-for SECONDS | invalid on | invalid off\n"
           "    flags none|over|under|over,under\n"
           "    image HEX | image off\n"
           "    refuse-op on [CODE]|hold|off\n"
           "    error-state STATE CODE | error-state off\n"
           "    sii-nack COUNT         the next COUNT EEPROM reads are not acknowledged\n"
           "    lose-reply [COUNT]     the next COUNT mailbox replies read are lost on the way back\n"
           "    stale-reply            a reply of an earlier master session waits in the read mailbox\n"
           "    al-delay MS | sdo-delay MS | sii-busy US   the slave's time for a state change,\n"
           "                           a mailbox reply, an EEPROM read\n"
           "    stats\n"
           "\n"
           "Exit status: 0 on quit, SIGTERM or SIGINT; 1 when the interface or the control socket\n"
           "cannot be opened; 2 for a bad flag or a start-up command that is refused.\n";
}

}  // namespace ecsim
