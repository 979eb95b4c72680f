#include "tmpfs.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

Tmpfs::~Tmpfs()
{
    if (!dir_.isEmpty())
        ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
}

bool Tmpfs::mount(const QString &dir, const QString &size, QString *error)
{
    const QByteArray options = "size=" + size.toLatin1() + ",mode=0700";
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, options.constData()) != 0) {
        *error = QStringLiteral("cannot mount a tmpfs on %1: %2").arg(dir, qt_error_string(errno));
        return false;
    }
    dir_ = dir;
    return true;
}

qint64 fillFileSystem(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return -1;
    static const char block[4096] = {};
    qint64 total = 0;
    ssize_t n;
    // Whole pages while they fit, then single bytes for what is left.
    while ((n = ::write(fd, block, sizeof block)) > 0)
        total += n;
    while ((n = ::write(fd, block, 1)) > 0)
        total += n;
    ::close(fd);
    return total;
}

} // namespace testsupport
