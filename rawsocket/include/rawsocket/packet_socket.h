// A raw AF_PACKET socket for EtherCAT frames on one Ethernet adapter: what
// the raw-socket helper opens for an unprivileged program, and what a
// process with CAP_NET_RAW (root, the logging service) opens for itself.
#ifndef RAWSOCKET_PACKET_SOCKET_H
#define RAWSOCKET_PACKET_SOCKET_H

#include <string>

namespace rawsocket {

// True when `name` is an adapter of this network namespace that carries
// Ethernet frames and is not a loopback; otherwise false and *why says
// which ("no such adapter", "not an Ethernet adapter (link type N)", ...).
bool checkAdapter(const char *name, std::string *why);

// socket(AF_PACKET, SOCK_RAW, EtherCAT's EtherType), close-on-exec: the one call that
// needs CAP_NET_RAW. -1 with *err set to errno when refused (EPERM without
// the capability).
int packetSocket(int *err);

// Binds a socket of packetSocket to the adapter `name`: EtherCAT frames of
// that adapter only, our own sent frames not read back, promiscuous
// membership (dropped with the socket), frames queued before the bind
// thrown away. Needs no privilege. False with *why and *err (errno) set;
// ENETDOWN when the adapter is down.
bool bindToAdapter(int fd, const char *name, std::string *why, int *err);

// Both steps for a process that may open raw sockets itself: the socket, or
// -1 with *why and *err set (*err EPERM or EACCES: it may not).
int openPacketSocket(const char *name, std::string *why, int *err);

} // namespace rawsocket

#endif
