#include "stderr_capture.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace testsupport {

StderrCapture::StderrCapture()
{
    std::fflush(stderr);
    char path[] = "/tmp/test-stderr-XXXXXX";
    file_ = mkstemp(path);
    if (file_ < 0)
        return;
    unlink(path);
    saved_ = dup(2);
    dup2(file_, 2);
}

StderrCapture::~StderrCapture() { text(); }

QString StderrCapture::text()
{
    if (saved_ >= 0) {
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        saved_ = -1;
        QByteArray bytes;
        char buf[4096];
        lseek(file_, 0, SEEK_SET);
        ssize_t n;
        while ((n = read(file_, buf, sizeof buf)) > 0)
            bytes.append(buf, int(n));
        text_ = QString::fromLocal8Bit(bytes);
    }
    if (file_ >= 0) {
        close(file_);
        file_ = -1;
    }
    return text_;
}

} // namespace testsupport
