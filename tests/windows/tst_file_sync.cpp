// The durable close of the log files on Windows: the C runtime's _commit
// (FlushFileBuffers) on the descriptor of the file.
#include "harness.h"

#include "file_sync.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <sys/stat.h>

WT_CASE("core", writtenFileIsCommitted)
{
    char dir[MAX_PATH];
    char path[MAX_PATH];
    REQUIRE(GetTempPathA(MAX_PATH, dir) && GetTempFileNameA(dir, "run", 0, path));
    const int fd = _open(path, _O_WRONLY | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    REQUIRE(fd >= 0);
    const char line[] = "2024-03-05;14:07:09;0;1013.25\n";
    CHECK_EQ(_write(fd, line, sizeof line - 1), int(sizeof line - 1));
    CHECK_EQ(records::syncDescriptor(fd), 0);
    _close(fd);
    // No descriptor (QFile::handle() of a file without one) is refused
    // before the C runtime sees it.
    CHECK_EQ(records::syncDescriptor(-1), EBADF);
    DeleteFileA(path);
}
