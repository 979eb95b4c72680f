#include "regular_file.h"

#include <QFileInfo>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace records {

namespace {

bool fail(QString *error, const QString &path, const QString &why)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, why);
    return false;
}

#ifndef _WIN32
QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("a device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    return QStringLiteral("not a regular file");
}
#endif

} // namespace

bool openRegularFileForReading(QFile &file, const QString &path, QString *error)
{
#ifdef _WIN32
    const QFileInfo info(path);
    if (info.isSymLink())
        return fail(error, path, QStringLiteral("is a symbolic link; open the file it points to instead"));
    if (info.exists() && !info.isFile())
        return fail(error, path, QStringLiteral("is not a regular file"));
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, path, file.errorString());
    return true;
#else
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ELOOP)
            return fail(error, path, QStringLiteral("is a symbolic link; open the file it points to instead"));
        return fail(error, path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
        const int saved = errno;
        ::close(fd);
        return fail(error, path, QString::fromLocal8Bit(std::strerror(saved)));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(error, path, QStringLiteral("is %1, not a run file").arg(kindOf(st.st_mode)));
    }
    // A regular file never blocks; blocking reads are what QFile expects.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    file.setFileName(path);
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(error, path, file.errorString());
    }
    return true;
#endif
}

} // namespace records
