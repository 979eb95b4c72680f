#include "regular_file.h"

#include "regular_descriptor.h"

#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace records {

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// Why `r` was refused, in a sentence after the file's name: `linkAdvice`
// follows a link's refusal, `role` is what the file should have been.
QString reason(const RegularDescriptor &r, const char *linkAdvice, const char *role)
{
    switch (r.refusal) {
    case FileRefusal::SymbolicLink:
        return QStringLiteral("is a symbolic link; %1").arg(QLatin1String(linkAdvice));
    case FileRefusal::NotRegular:
        return QStringLiteral("is %1, not a %2").arg(QString::fromStdString(r.what), QLatin1String(role));
    case FileRefusal::None:
    case FileRefusal::System:
        break;
    }
    return QString::fromLocal8Bit(r.what.c_str());
}

QString readingReason(const RegularDescriptor &r)
{
    return reason(r, "open the file it points to instead", "run file");
}

QString writingReason(const RegularDescriptor &r)
{
    return reason(r, "log files are not written through links", "log file");
}

#ifdef _WIN32
// The C runtime knows no links: Qt does.
bool isLink(const QString &path)
{
    return QFileInfo(path).isSymLink();
}
const RegularDescriptor kLink{-1, FileRefusal::SymbolicLink, {}};
#endif

} // namespace

bool openRegularFileForReading(QFile &file, const QString &path, QString *error)
{
    const auto failed = [&](const RegularDescriptor &r) {
        return fail(error, QStringLiteral("%1: %2").arg(path, readingReason(r)));
    };
#ifdef _WIN32
    if (isLink(path))
        return failed(kLink);
#endif
    const RegularDescriptor opened = openRegularDescriptor(QFile::encodeName(path).constData(), O_RDONLY);
    if (opened.fd < 0)
        return failed(opened);
    file.setFileName(path);
    if (!file.open(opened.fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        return fail(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
    }
    return true;
}

bool openRegularFileForWriting(QFile &file, const QString &path, QIODevice::OpenMode mode, QString *why)
{
    file.setFileName(path);
    const QByteArray native = QFile::encodeName(path);
#ifdef _WIN32
    if (isLink(path))
        return fail(why, writingReason(kLink));
#endif
    if (mode & QIODevice::NewOnly) {
        // O_CREAT with O_EXCL follows no link and opens nothing but the
        // new regular file it makes; a failure is told by what is there.
        if (file.open(mode))
            return true;
        const RegularDescriptor there = refusalAt(native.constData(), EEXIST);
        return fail(why, there.refusal == FileRefusal::System ? file.errorString() : writingReason(there));
    }
    // QFile keeps the name only of a file it opens by name: the file is made
    // (if missing) and checked here first, then QFile opens what is there
    // now without making anything, and must find the file that was checked.
    const RegularDescriptor checked = openRegularDescriptor(native.constData(), O_WRONLY | O_CREAT);
    if (checked.fd < 0)
        return fail(why, writingReason(checked));
    const bool opened = file.open(mode | QIODevice::ExistingOnly);
    const bool same = opened && sameFile(checked.fd, file.handle());
    ::close(checked.fd);
    if (!opened)
        return fail(why, file.errorString());
    if (!same) {
        file.close();
        return fail(why, QStringLiteral("was replaced by another file while it was being opened"));
    }
    return true;
}

bool reopenForReading(const QFile &written, QFile &reader, QString *why)
{
    const QString path = written.fileName();
#ifdef _WIN32
    if (isLink(path))
        return fail(why, writingReason(kLink));
#endif
    const RegularDescriptor opened = openRegularDescriptor(QFile::encodeName(path).constData(), O_RDONLY);
    if (opened.fd < 0)
        return fail(why, writingReason(opened));
    if (!sameFile(opened.fd, written.handle())) {
        ::close(opened.fd);
        return fail(why, QStringLiteral("is no longer the file being written"));
    }
    if (!reader.open(opened.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(opened.fd);
        return fail(why, reader.errorString());
    }
    return true;
}

} // namespace records
