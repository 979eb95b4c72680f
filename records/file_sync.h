// Asking the system to put what a file holds on the disk, not only in its
// cache: fsync on POSIX systems, _commit (the C runtime's FlushFileBuffers)
// on Windows. No Qt, so that the Windows test program checks it under Wine.
#pragma once

namespace records {

// Returns 0, or the errno value of the failure (EBADF for a negative fd).
int syncDescriptor(int fd);

} // namespace records
