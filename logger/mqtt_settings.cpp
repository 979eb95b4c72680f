#include "mqtt_settings.h"

#include "regular_file.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace logger {

namespace {

QString octal(mode_t mode) { return QStringLiteral("%1").arg(uint(mode & 07777), 4, 8, QLatin1Char('0')); }

bool fail(QString *error, const QString &why)
{
    *error = why;
    return false;
}

} // namespace

QString MqttSettings::serverUri() const
{
    const QString h = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1://%2:%3").arg(tls ? QStringLiteral("ssl") : QStringLiteral("tcp"), h).arg(port);
}

QString MqttSettings::topic(const QString &adapter, const QString &leaf) const
{
    return QStringList{prefix, hostName, adapter, leaf}.join(QLatin1Char('/'));
}

bool parseBrokerUrl(const QString &url, MqttSettings *settings, QString *error)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme();
    const bool tls = scheme == QLatin1String("mqtts");
    if (!parsed.isValid() || (!tls && scheme != QLatin1String("mqtt")) || parsed.host().isEmpty())
        return fail(error, QStringLiteral("\"%1\" is not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]").arg(url));
    if (!parsed.userInfo().isEmpty())
        return fail(error, QStringLiteral("\"%1\": no user name or password in the URL; put them in the "
                                          "credentials file (--mqtt-credentials)").arg(url.section(QLatin1Char('@'), -1)));
    if (!(parsed.path().isEmpty() || parsed.path() == QLatin1String("/")) || parsed.hasQuery() || parsed.hasFragment())
        return fail(error, QStringLiteral("\"%1\": a broker URL has no path; the topics come from --mqtt-prefix").arg(url));
    settings->url = url;
    settings->tls = tls;
    settings->host = parsed.host();
    settings->port = parsed.port(tls ? MqttSettings::kTlsPort : MqttSettings::kTcpPort);
    return true;
}

bool checkTopicLevel(const QString &what, const QString &level, QString *error)
{
    if (level.isEmpty())
        return fail(error, QStringLiteral("%1 is empty").arg(what));
    for (const QChar c : level) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#') || c.isNull())
            return fail(error, QStringLiteral("%1 \"%2\" holds '%3', which MQTT topics reserve")
                                   .arg(what, level, c.isNull() ? QStringLiteral("\\0") : QString(c)));
    }
    return true;
}

bool readCredentials(const QString &path, QByteArray *userName, QByteArray *password, QString *error)
{
    QFile file;
    if (!records::openRegularFileForReading(file, path, error))
        return false;
    struct stat st;
    if (::fstat(file.handle(), &st) != 0)
        return fail(error, QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (st.st_mode & (S_IRWXG | S_IRWXO))
        return fail(error, QStringLiteral("%1: group or others may read it (mode %2); it holds a password: "
                                          "chmod 600 %1").arg(path, octal(st.st_mode)));
    // A user name and a password are short; a large file is a wrong one.
    const QByteArray content = file.read(4096);
    QList<QByteArray> lines = content.split('\n');
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    if (lines.value(0).isEmpty())
        return fail(error, QStringLiteral("%1: the first line must be the user name, the second the password").arg(path));
    *userName = lines.value(0);
    *password = lines.value(1);
    return true;
}

bool makePrivateFolder(const QString &dir, QString *error)
{
    if (!QDir().mkpath(dir))
        return fail(error, QStringLiteral("cannot create the folder %1").arg(dir));
    const QByteArray native = QFile::encodeName(dir);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return fail(error, QStringLiteral("%1: %2").arg(dir, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(st.st_mode))
        return fail(error, QStringLiteral("%1 is not a folder (a symbolic link?); it must be a folder of its own").arg(dir));
    if (st.st_uid != ::geteuid())
        return fail(error, QStringLiteral("%1 belongs to another user (uid %2)").arg(dir).arg(st.st_uid));
    if ((st.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return fail(error, QStringLiteral("cannot make %1 private (chmod 700): %2")
                               .arg(dir, QString::fromLocal8Bit(std::strerror(errno))));
    return true;
}

} // namespace logger
