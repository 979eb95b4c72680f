#include "stderr_capture.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#define lseek _lseek
#define read _read
#else
#include <cstdlib>
#include <unistd.h>
#endif

namespace testsupport {

namespace {

// An empty temporary file open for reading and writing; `path` is set where
// the file has to be removed after closing it.
int openTemporaryFile(std::string &path)
{
#ifdef _WIN32
    char dir[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, dir) || !GetTempFileNameA(dir, "err", 0, name))
        return -1;
    path = name;
    return _open(name, _O_RDWR | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
#else
    (void)path;
    char name[] = "/tmp/test-stderr-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0)
        unlink(name);
    return fd;
#endif
}

} // namespace

StderrCapture::StderrCapture()
{
    file_ = openTemporaryFile(path_);
    if (file_ < 0)
        return;
    std::fflush(stderr);
    saved_ = dup(2);
    dup2(file_, 2);
}

StderrCapture::~StderrCapture() { text(); }

std::string StderrCapture::text()
{
    if (file_ < 0)
        return text_;
    std::fflush(stderr);
    dup2(saved_, 2);
    close(saved_);
    lseek(file_, 0, SEEK_SET);
    char buf[4096];
    int n;
    while ((n = int(read(file_, buf, sizeof buf))) > 0)
        text_.append(buf, size_t(n));
    close(file_);
    file_ = -1;
#ifdef _WIN32
    DeleteFileA(path_.c_str());
#endif
    return text_;
}

} // namespace testsupport
