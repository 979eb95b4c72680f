// Opening a file by a name someone gave, without Qt: never through a
// symbolic link in the last component, never anything but a regular file,
// and never waiting on a FIFO. The record library's QFile openings
// (regular_file.h) and the simulator's profile files share it.
#pragma once

#include <string>

namespace records {

enum class FileRefusal { None, SymbolicLink, NotRegular, System };

struct RegularDescriptor {
    int fd = -1;                        // blocking; the caller closes it
    FileRefusal refusal = FileRefusal::None;
    std::string what;                   // NotRegular: "a FIFO", "a folder"...; System: the system's reason
};

// open(2) of `path` with `flags` (O_RDONLY, O_WRONLY | O_CREAT, ...; a file
// it makes gets 0666 less the umask). On Windows, where the C runtime knows
// no links, only the kind of file is checked.
RegularDescriptor openRegularDescriptor(const char *path, int flags);

// Why an open of `path` failed with `err` (O_NOFOLLOW gives ELOOP for a
// link, O_EXCL gives EEXIST, a FIFO without a reader ENXIO): a link or
// something other than a regular file there, else the system's reason.
RegularDescriptor refusalAt(const char *path, int err);

// Whether two open descriptors are the same file (device and inode);
// always true on Windows, whose C runtime gives no inode.
bool sameFile(int a, int b);

} // namespace records
