// What a process holds from the system, read from /proc: open file
// descriptors, threads and resident memory. The benchmarks compare these
// before and after long runs to find slow leaks, and take the memory a piece
// of work adds at its peak.
#pragma once

#include <string>
#include <sys/types.h>

namespace bench {

struct Usage {
    long fds = -1;      // entries in /proc/<pid>/fd
    long threads = -1;  // "Threads:" of /proc/<pid>/status
    long rssKiB = -1;   // "VmRSS:" of /proc/<pid>/status
    long peakRssKiB = -1; // "VmHWM:", the largest VmRSS since start or resetPeakRss()
};

// pid 0 reads this process (/proc/self). Fields that cannot be read stay -1.
Usage readUsage(pid_t pid = 0);
// Sets this process's VmHWM back to its VmRSS of now.
void resetPeakRss();

} // namespace bench
