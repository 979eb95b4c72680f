#include "host.h"

#ifdef BUSCHECK_RAW_SOCKET_HELPER
#include <rawsocket/helper.h>
#endif

#include <linux/capability.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>

namespace buscheck {

AdapterLink adapterLink(const QByteArray &name)
{
    AdapterLink link;
    if (name.isEmpty() || name.size() >= IFNAMSIZ)
        return link;
    // Any socket of this namespace answers interface ioctls; a datagram
    // socket needs no privilege.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return link;
    struct ifreq req {};
    std::memcpy(req.ifr_name, name.constData(), size_t(name.size()));
    if (::ioctl(fd, SIOCGIFFLAGS, &req) == 0) {
        link.known = true;
        link.up = (req.ifr_flags & IFF_UP) != 0;
        link.carrier = (req.ifr_flags & IFF_RUNNING) != 0;
    }
    ::close(fd);
    return link;
}

namespace {

bool effectiveNetRaw()
{
    __user_cap_header_struct header {};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0; // this process
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] {};
    return ::syscall(SYS_capget, &header, data) == 0
        && (data[CAP_TO_INDEX(CAP_NET_RAW)].effective & CAP_TO_MASK(CAP_NET_RAW)) != 0;
}

} // namespace

RawAccess rawAccess()
{
    RawAccess access;
    if (effectiveNetRaw()) {
        access.allowed = true;
        access.how = ::geteuid() == 0 ? QStringLiteral("root") : QStringLiteral("cap_net_raw");
        return access;
    }
#ifdef BUSCHECK_RAW_SOCKET_HELPER
    const rawsocket::HelperStatus helper = rawsocket::inspectHelper(rawsocket::helperPath());
    if (helper.usable()) {
        access.allowed = true;
        access.how = QStringLiteral("through pressure-raw-socket");
        return access;
    }
    const rawsocket::HelperAdvice advice = rawsocket::adviceFor(helper);
    access.problem = QString::fromStdString(advice.problem);
    access.remedy = QString::fromStdString(advice.remedy);
    access.grant = QString::fromStdString(advice.command);
#else
    // SOEM opens the adapter itself: only root or CAP_NET_RAW can.
    access.problem = QStringLiteral("it needs root or the capability cap_net_raw");
    access.remedy = QStringLiteral("run it as root");
#endif
    return access;
}

QString grantCommand()
{
    return rawAccess().grant;
}

} // namespace buscheck
