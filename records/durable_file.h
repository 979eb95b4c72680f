// Closing a log file so that what it holds is on the disk, not only in the
// operating system's cache.
#pragma once

#include <QFile>
#include <QString>

namespace records {

// Flushes Qt's buffer and asks the system to write the file to the disk
// (syncDescriptor: fsync, or _commit on Windows). Returns false and fills
// `error` (if given) when either fails.
bool syncToDisk(QFile &file, QString *error = nullptr);

// syncToDisk, then close. A file that is not open is left alone (true).
// The file is closed even when the sync fails.
bool closeDurably(QFile &file, QString *error = nullptr);

} // namespace records

namespace records {

// For a file opened for appending: if it holds bytes and its last byte is
// not a line end (a process killed in the middle of a record can leave such
// a tail: the system may cut a write at a page boundary when the process is
// killed), writes "\n" so that the next record starts on a line of its own.
// Nothing is removed. The file is read back by its name, never through a
// symbolic link nor from another file than the one open (reopenForReading).
// False when the file could not be read or written.
bool terminateLastLine(QFile &appendFile, QString *error = nullptr);

} // namespace records
