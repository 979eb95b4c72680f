// How a program and pressure-raw-socket talk. The program starts the helper
// with the adapter's name as its one argument and the helper's standard
// output and error both on one end of an AF_UNIX SOCK_SEQPACKET pair. The
// helper answers with exactly one message: either kHandedOver with the
// socket attached (SCM_RIGHTS), or its refusal, one line of text; then it
// exits with one of these statuses.
#ifndef RAWSOCKET_HELPER_PROTOCOL_H
#define RAWSOCKET_HELPER_PROTOCOL_H

#include <cstddef>
#include <string>

namespace rawsocket {

enum HelperExit : int {
    HandedOver = 0,     // the socket went to the caller
    AdapterRefused = 1, // no such adapter, not Ethernet, a loopback, down
    BadUsage = 2,       // not exactly one adapter name, or no Unix socket to answer on
    NoPermission = 3,   // the helper itself lacks CAP_NET_RAW
    SystemFailed = 4,   // the kernel refused a step (bind, membership, handing over)
};

// The message that carries the socket.
constexpr char kHandedOver[] = "socket";

// Sends kHandedOver with `fd` attached on `channel`; false with errno set.
bool sendSocket(int channel, int fd);

// What came back on `channel` until the helper closed it: the socket it
// handed over (close-on-exec), or -1 with *text holding what it said
// instead. Waits at most `timeoutMs` in all; *timedOut tells.
int receiveAnswer(int channel, int timeoutMs, std::string *text, bool *timedOut);

} // namespace rawsocket

#endif
