#include "file_sync.h"

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace records {

int syncDescriptor(int fd)
{
    // The Windows C runtime stops the process on a descriptor it does not
    // know (its invalid parameter handler): never hand it one.
    if (fd < 0)
        return EBADF;
#ifdef _WIN32
    return ::_commit(fd) == 0 ? 0 : errno;
#else
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
#endif
}

} // namespace records
