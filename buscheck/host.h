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

// May this process open adapters for raw Ethernet frames: it needs
// CAP_NET_RAW in its effective set, which root normally has.
struct RawAccess {
    bool allowed = false;
    QString how; // "root", "cap_net_raw" or "" when not allowed
};

RawAccess rawAccess();

// The command that grants this program the capabilities it needs.
QString grantCommand();

} // namespace buscheck
