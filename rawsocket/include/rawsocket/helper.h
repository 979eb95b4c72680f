// The caller's side of pressure-raw-socket: where the helper is, whether
// this process may use it (and if not, what to do), and asking it for a
// socket. A process that may open raw sockets itself never needs it.
#ifndef RAWSOCKET_HELPER_H
#define RAWSOCKET_HELPER_H

#include <string>

namespace rawsocket {

// The environment variable that names another helper (for tests; it grants
// nothing: the helper's power is its own file capability). Ignored in a
// process running in secure mode (set-id, file capabilities).
constexpr char kHelperOverride[] = "PRESSURE_RAW_SOCKET_HELPER";

// The helper this program uses: the override; the one built beside it when
// the program runs from its build tree; else the installed one, found from
// the program's own folder (bin/../libexec/pressure-monitor/).
std::string helperPath();

struct HelperStatus {
    std::string path;
    bool found = false;           // a regular file there
    bool mayRun = false;          // this process may execute it
    bool holdsCapability = false; // cap_net_raw+ep, on a file system that honours it
    bool onNosuidMount = false;   // file capabilities do not count there
    bool groupMayRun = false;     // its mode lets its group execute it
    std::string group;            // its group's name (or number)
    std::string user;             // who runs this process (name, or number)
    bool joinedLater = false;     // the user is in that group, this session is not yet
    bool usable() const { return found && mayRun && holdsCapability; }
};

HelperStatus inspectHelper(const std::string &path);

// Why this process cannot get a socket through the helper: the problem, what
// to do, and the command that does it (empty when there is none).
struct HelperAdvice {
    std::string problem;
    std::string remedy;
    std::string command;
    std::string line() const { return problem + "; " + remedy; }
};

// For a status that is not usable().
HelperAdvice adviceFor(const HelperStatus &status);

// A raw EtherCAT socket bound to `adapter` from the helper at helperPath()
// (close-on-exec), or -1 with *why set to one line: what failed, what to do.
int socketFromHelper(const char *adapter, std::string *why);

// Runs the helper at `path` for `adapter` without looking at it first: the
// socket, or -1 with *why set (the helper's own line when it refused).
// *exitStatus: the helper's, or -1 when it did not exit normally.
int askHelper(const std::string &path, const char *adapter, std::string *why, int *exitStatus);

} // namespace rawsocket

#endif
