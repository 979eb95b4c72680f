#include "proc_usage.h"

#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

namespace {

std::string procDir(pid_t pid)
{
    return pid == 0 ? std::string("/proc/self") : "/proc/" + std::to_string(pid);
}

long countFds(const std::string &dir)
{
    DIR *d = opendir((dir + "/fd").c_str());
    if (!d)
        return -1;
    long n = 0;
    while (const dirent *e = readdir(d)) {
        if (e->d_name[0] != '.')
            ++n;
    }
    closedir(d);
    // The directory stream itself was one of the descriptors counted when
    // reading our own process.
    return n;
}

} // namespace

Usage readUsage(pid_t pid)
{
    const std::string dir = procDir(pid);
    Usage u;
    u.fds = countFds(dir);
    if (pid == 0 && u.fds > 0)
        --u.fds;
    FILE *f = std::fopen((dir + "/status").c_str(), "r");
    if (!f)
        return u;
    char line[256];
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "Threads:", 8) == 0)
            u.threads = std::strtol(line + 8, nullptr, 10);
        else if (std::strncmp(line, "VmRSS:", 6) == 0)
            u.rssKiB = std::strtol(line + 6, nullptr, 10);
        else if (std::strncmp(line, "VmHWM:", 6) == 0)
            u.peakRssKiB = std::strtol(line + 6, nullptr, 10);
    }
    std::fclose(f);
    return u;
}

void resetPeakRss()
{
    if (FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

} // namespace bench
