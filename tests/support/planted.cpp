#include "planted.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace testsupport {

bool plantAt(const QString &path, const QString &what, const QString &target)
{
    if (what == QLatin1String("link"))
        return QFile::link(target, path);
    if (what == QLatin1String("fifo"))
        return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
    if (what == QLatin1String("folder"))
        return QDir().mkdir(path);
    return true;
}

} // namespace testsupport
