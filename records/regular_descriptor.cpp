#include "regular_descriptor.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace records {

namespace {

std::string kindOf(unsigned mode)
{
    if (S_ISDIR(mode))
        return "a folder";
#ifndef _WIN32
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
#endif
    return "not a regular file";
}

RegularDescriptor refused(FileRefusal why, std::string what)
{
    RegularDescriptor r;
    r.refusal = why;
    r.what = std::move(what);
    return r;
}

} // namespace

#ifdef _WIN32

RegularDescriptor openRegularDescriptor(const char *path, int flags)
{
    const int fd = ::_open(path, flags | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return refused(FileRefusal::System, std::strerror(errno));
    struct _stat64 st{};
    if (::_fstat64(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::_close(fd);
        return refused(FileRefusal::NotRegular, kindOf(st.st_mode));
    }
    RegularDescriptor r;
    r.fd = fd;
    return r;
}

bool sameFile(int, int)
{
    return true;
}

RegularDescriptor refusalAt(const char *, int err)
{
    return refused(FileRefusal::System, std::strerror(err));
}

#else

RegularDescriptor refusalAt(const char *path, int err)
{
    struct stat st{};
    if (::lstat(path, &st) != 0)
        return refused(FileRefusal::System, std::strerror(err));
    if (S_ISLNK(st.st_mode))
        return refused(FileRefusal::SymbolicLink, {});
    if (!S_ISREG(st.st_mode))
        return refused(FileRefusal::NotRegular, kindOf(st.st_mode));
    return refused(FileRefusal::System, std::strerror(err));
}

RegularDescriptor openRegularDescriptor(const char *path, int flags)
{
    const int fd = ::open(path, flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return refusalAt(path, errno);
    struct stat st{};
    const bool statted = ::fstat(fd, &st) == 0;
    if (!statted || !S_ISREG(st.st_mode)) {
        RegularDescriptor r = statted ? refused(FileRefusal::NotRegular, kindOf(st.st_mode))
                                      : refused(FileRefusal::System, std::strerror(errno));
        ::close(fd);
        return r;
    }
    // A regular file never blocks; blocking reads and writes are what
    // callers expect.
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    RegularDescriptor r;
    r.fd = fd;
    return r;
}

bool sameFile(int a, int b)
{
    struct stat sa{}, sb{};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

#endif

} // namespace records
