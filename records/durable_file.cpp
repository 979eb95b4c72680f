#include "durable_file.h"

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace records {

bool syncToDisk(QFile &file, QString *error)
{
    if (!file.isOpen())
        return true;
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    const int fd = file.handle();
    if (fd < 0)
        return true;
#ifdef Q_OS_WIN
    const int rc = ::_commit(fd);
#else
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
#endif
    if (rc != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

bool closeDurably(QFile &file, QString *error)
{
    if (!file.isOpen())
        return true;
    const bool synced = syncToDisk(file, error);
    file.close();
    return synced;
}

} // namespace records

namespace records {

bool terminateLastLine(QFile &appendFile, QString *error)
{
    QFile reader(appendFile.fileName());
    if (!reader.open(QIODevice::ReadOnly)) {
        if (error)
            *error = reader.errorString();
        return false;
    }
    const qint64 size = reader.size();
    if (size == 0)
        return true;
    char last = 0;
    if (!reader.seek(size - 1) || reader.read(&last, 1) != 1) {
        if (error)
            *error = reader.errorString();
        return false;
    }
    if (last == '\n')
        return true;
    if (appendFile.write("\n", 1) != 1 || !appendFile.flush()) {
        if (error)
            *error = appendFile.errorString();
        return false;
    }
    return true;
}

} // namespace records
