// Opening a file that a user named, for reading: never through a symbolic
// link and never anything but a regular file, so that a FIFO, a device or a
// folder is refused at once instead of blocking or streaming forever.
#pragma once

#include <QFile>
#include <QString>

namespace records {

// Opens `path` read-only into `file` (which must not be open). The last
// component of the path must not be a symbolic link, and what it names must
// be a regular file; a FIFO is refused without waiting for a writer. On
// success `file` owns the descriptor and closes it. False with `error` (when
// not null) set to a sentence that names the file and says why.
bool openRegularFileForReading(QFile &file, const QString &path, QString *error);

} // namespace records
