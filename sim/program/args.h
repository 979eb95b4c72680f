// Command-line options of the simulator program.
#pragma once

#include <string>
#include <vector>

namespace ecsim {

struct ProgramOptions {
    std::string iface;                        // --iface IF (required)
    std::string slaves = "sensor";            // --slaves LIST
    std::string controlPath;                  // --control PATH (empty: no socket)
    bool readStdin = true;                    // cleared by --no-stdin
    bool help = false;                        // --help
    // Every other --<command> args... flag, as the control line "<command> args...",
    // in the order given. --seed N lands here too, as "seed N".
    std::vector<std::string> startupCommands;
};

struct ParseResult {
    bool ok = false;
    std::string error;  // set when !ok: names the flag and what is wrong
    ProgramOptions options;
};

// Parses argv (argv[0] is skipped). Never exits; the caller prints the error and exits 2.
ParseResult parseArguments(const std::vector<std::string> &args);

// The text printed by --help: flags and every command of the control channel.
std::string usageText(const std::string &programName);

}  // namespace ecsim
