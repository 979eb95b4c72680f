// pressure-raw-socket ADAPTER: the one program of the pressure monitor with a
// capability (cap_net_raw+ep, owned by root and the group pressure-monitor,
// mode 0754). It opens a raw AF_PACKET socket for EtherCAT frames on one
// Ethernet adapter, hands it to the program that started it and exits; see
// helper_protocol.h for the exchange and the exit statuses.
//
// It runs with a raised capability on behalf of an unprivileged caller, so
// it trusts nothing of what that caller controls: the environment is
// dropped, inherited descriptors other than the standard three are closed,
// the one argument is checked as an interface name before use, and the
// capability is dropped right after the socket exists (the bind and the
// membership need none). It takes no options and reads no files.
#include "helper_protocol.h"

#include <rawsocket/packet_socket.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

using namespace rawsocket;

constexpr char kUsage[] = "usage: pressure-raw-socket ADAPTER (started by the pressure monitor's programs, "
                          "with a Unix socket as standard output to receive the raw socket)";

int refuse(HelperExit status, const std::string &why)
{
    const std::string line = "pressure-raw-socket: " + why + "\n";
    // One write, so that the caller gets the line as one message.
    if (::write(STDERR_FILENO, line.data(), line.size()) < 0) {
    }
    return status;
}

// Descriptors 0 and 2 open (on /dev/null when they were not), so that no
// socket of ours ever lands on a standard descriptor; everything beyond 2
// closed. Descriptor 1 is the caller's socket and is checked later.
bool settleDescriptors()
{
    for (int fd : {STDIN_FILENO, STDERR_FILENO}) {
        if (::fcntl(fd, F_GETFD) >= 0)
            continue;
        const int null = ::open("/dev/null", O_RDWR);
        if (null != fd)
            return false;
    }
    return ::close_range(3, ~0U, 0) == 0;
}

// An interface name as the kernel takes one: 1 to IFNAMSIZ-1 bytes, not "."
// or "..", no '/', ':', white space or control characters.
bool plausibleName(const char *name)
{
    const size_t n = ::strnlen(name, IFNAMSIZ);
    if (n == 0 || n >= IFNAMSIZ || std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
        return false;
    for (const char *p = name; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '/' || c == ':' || c <= ' ' || c == 0x7f)
            return false;
    }
    return true;
}

bool stdoutIsUnixSocket()
{
    int domain = 0;
    socklen_t len = sizeof domain;
    return ::getsockopt(STDOUT_FILENO, SOL_SOCKET, SO_DOMAIN, &domain, &len) == 0 && domain == AF_UNIX;
}

// Every capability set of this process emptied, for good.
bool dropCapabilities()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[_LINUX_CAPABILITY_U32S_3] = {};
    return ::syscall(SYS_capset, &header, none) == 0;
}

std::string ownPath()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string("pressure-raw-socket");
}

} // namespace

int main(int argc, char **argv)
{
    ::clearenv();
    if (!settleDescriptors())
        return refuse(SystemFailed, std::string("cannot settle the inherited descriptors: ") + std::strerror(errno));
    if (argc != 2)
        return refuse(BadUsage, kUsage);
    if (!plausibleName(argv[1]))
        return refuse(BadUsage, "the argument is not an adapter name (1 to 15 bytes, no '/', ':', blanks or "
                                "control characters)");
    if (!stdoutIsUnixSocket())
        return refuse(BadUsage, "standard output is not a Unix socket; " + std::string(kUsage));
    const char *adapter = argv[1];
    std::string why;
    if (!checkAdapter(adapter, &why))
        return refuse(AdapterRefused, why);

    int err = 0;
    const int fd = packetSocket(&err);
    if (fd < 0 && (err == EPERM || err == EACCES))
        return refuse(NoPermission, "runs without CAP_NET_RAW (its file capability is missing, or ignored on a "
                                    "nosuid mount or under no_new_privs): `sudo setcap cap_net_raw+ep "
                          + ownPath() + "`, or run as root");
    if (fd < 0)
        return refuse(SystemFailed, std::string("cannot open a raw socket: ") + std::strerror(err));
    if (!dropCapabilities())
        return refuse(SystemFailed, std::string("cannot give up the capability: ") + std::strerror(errno));
    if (!bindToAdapter(fd, adapter, &why, &err))
        return refuse(err == ENETDOWN || err == ENODEV || err == ENXIO ? AdapterRefused : SystemFailed, why);
    if (!sendSocket(STDOUT_FILENO, fd))
        return refuse(SystemFailed, std::string("cannot hand the socket over: ") + std::strerror(errno));
    return HandedOver;
}
