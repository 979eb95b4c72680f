// What this machine says about an adapter and about this process, asked of
// the kernel in this process's own network namespace.
#pragma once

#include <QByteArray>
#include <QString>

namespace buscheck {

struct AdapterLink {
    bool known = false;   // the kernel has an interface of that name here
    bool up = false;      // brought up by the administrator (IFF_UP)
    bool carrier = false; // a cable with a partner at the other end (IFF_RUNNING)
};

AdapterLink adapterLink(const QByteArray &name);

// May this process open adapters for raw Ethernet frames: with CAP_NET_RAW
// in its effective set (root has it) it opens them itself; otherwise the
// master asks the raw-socket helper, which the members of its group may run.
struct RawAccess {
    bool allowed = false;
    QString how;     // "root", "cap_net_raw", "through pressure-raw-socket" or "" when not allowed
    QString problem; // when not allowed: why not, in words
    QString remedy;  // when not allowed: what to do
    QString grant;   // when not allowed: the command that grants it, "" when there is none
};

RawAccess rawAccess();

// The command that grants this process raw frames (rawAccess().grant).
QString grantCommand();

} // namespace buscheck
