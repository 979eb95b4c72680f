// Opening a file that a user named, or a log file in a folder a user chose:
// never through a symbolic link and never anything but a regular file, so
// that a FIFO, a device or a folder is refused at once instead of blocking
// or streaming forever, and no write lands where a link points.
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

// Opens the log file `path` into `file` with `mode` (kRunCsvOpenMode,
// kDailyCsvOpenMode), under the same rules: the last component must not be
// a symbolic link and must name a regular file (or, without NewOnly, nothing
// yet: the file is made, 0666 less the umask, as QFile makes it). Nothing is
// created, emptied or written through a link, and a FIFO is refused without
// waiting for a reader. On success `file` is open under the name `path`, as
// QFile::open would leave it. False with `why` (when not null) set to the
// reason alone: the callers' messages name the file themselves.
bool openRegularFileForWriting(QFile &file, const QString &path, QIODevice::OpenMode mode,
                               QString *why);

// Opens, read-only into `reader`, the file that `written` (open) has open,
// by its name: refused, with `why` set to the reason alone, when that name
// is now a symbolic link or another file than the one `written` holds.
bool reopenForReading(const QFile &written, QFile &reader, QString *why);

} // namespace records
