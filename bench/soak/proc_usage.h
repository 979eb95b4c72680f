// What a process holds from the system, read from /proc: open file
// descriptors, threads and resident memory. The soak benchmark compares these
// before and after long runs to find slow leaks.
#pragma once

#include <string>
#include <sys/types.h>

namespace soak {

struct Usage {
    long fds = -1;      // entries in /proc/<pid>/fd
    long threads = -1;  // "Threads:" of /proc/<pid>/status
    long rssKiB = -1;   // "VmRSS:" of /proc/<pid>/status
};

// pid 0 reads this process (/proc/self). Fields that cannot be read stay -1.
Usage readUsage(pid_t pid = 0);

} // namespace soak
