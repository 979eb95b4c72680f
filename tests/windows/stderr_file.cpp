#include "stderr_file.h"

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

StderrFile::StderrFile()
{
    char dir[MAX_PATH];
    char path[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, dir) || !GetTempFileNameA(dir, "err", 0, path))
        return;
    path_ = path;
    file_ = _open(path, _O_RDWR | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (file_ < 0)
        return;
    std::fflush(stderr);
    saved_ = _dup(_fileno(stderr));
    _dup2(file_, _fileno(stderr));
}

StderrFile::~StderrFile()
{
    text();
}

std::string StderrFile::text()
{
    if (file_ < 0)
        return text_;
    std::fflush(stderr);
    _dup2(saved_, _fileno(stderr));
    _close(saved_);
    _lseek(file_, 0, SEEK_SET);
    char buf[4096];
    int n;
    while ((n = _read(file_, buf, sizeof buf)) > 0)
        text_.append(buf, size_t(n));
    _close(file_);
    file_ = -1;
    DeleteFileA(path_.c_str());
    return text_;
}
