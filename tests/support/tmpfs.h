// A tiny tmpfs over a test's directory, for running out of disk space on
// purpose. Mounting needs root and a private mount namespace (the one
// scripts/netns-run makes), so that nothing outside the test sees it.
#pragma once

#include <QString>

namespace testsupport {

class Tmpfs {
public:
    Tmpfs() = default;
    ~Tmpfs();   // unmounts (lazily, in case a file is still open)
    Tmpfs(const Tmpfs &) = delete;
    Tmpfs &operator=(const Tmpfs &) = delete;

    // Mounts a tmpfs of `size` (mount's syntax, "64k") over `dir`; false
    // with *error set when the system refuses.
    bool mount(const QString &dir, const QString &size, QString *error);

private:
    QString dir_;
};

// Writes zeros to a new file at `path` until the file system refuses another
// byte; returns the bytes written, or -1 when the file cannot be created.
qint64 fillFileSystem(const QString &path);

} // namespace testsupport
