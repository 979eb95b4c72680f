#include "host.h"

#include <QCoreApplication>
#include <QRegularExpression>

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

RawAccess rawAccess()
{
    __user_cap_header_struct header {};
    header.version = _LINUX_CAPABILITY_VERSION_3;
    header.pid = 0; // this process
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] {};
    RawAccess access;
    if (::syscall(SYS_capget, &header, data) != 0)
        return access;
    access.allowed = (data[CAP_TO_INDEX(CAP_NET_RAW)].effective & CAP_TO_MASK(CAP_NET_RAW)) != 0;
    if (access.allowed)
        access.how = ::geteuid() == 0 ? QStringLiteral("root") : QStringLiteral("cap_net_raw");
    return access;
}

QString grantCommand()
{
    QString path = QCoreApplication::applicationFilePath();
    // Quoted for the shell when it holds anything but the plain characters
    // of a path.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+-]+$"));
    if (!plain.match(path).hasMatch())
        path = QLatin1Char('\'') + path.replace(QLatin1String("'"), QLatin1String("'\\''")) + QLatin1Char('\'');
    return QStringLiteral("sudo setcap cap_net_raw,cap_net_admin+ep ") + path;
}

} // namespace buscheck
