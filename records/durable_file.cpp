#include "durable_file.h"
#include "file_sync.h"
#include "regular_file.h"

#include <cstring>

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
    // On Windows QFile hands out a C runtime descriptor for its handle.
    const int fd = file.handle();
    if (fd < 0)
        return true;
    const int rc = syncDescriptor(fd);
    if (rc != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(rc));
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
    QFile reader;
    if (!reopenForReading(appendFile, reader, error))
        return false;
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
