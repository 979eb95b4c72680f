// What a test puts where a program expects a regular file, to see it refused.
#pragma once

#include <QString>

namespace testsupport {

// Puts at `path`: "link" a symbolic link to `target`, "fifo" a FIFO, "folder"
// a folder; anything else nothing. False when the system refuses.
bool plantAt(const QString &path, const QString &what, const QString &target = QString());

} // namespace testsupport
