// Where and how the logger publishes to an MQTT broker: the broker's URL
// (mqtt://host[:port], or mqtts:// with TLS), the TLS files, the user name
// and password (from a file of mode 0600, never from the command line), the
// topics and the client's identity, and the private folder where readings
// wait while the broker cannot be reached.
//
// Topics: PREFIX/HOST/ADAPTER/pressure carries one JSON object per record,
// PREFIX/HOST/ADAPTER/status the link's state (retained, with the last will
// "offline").
#pragma once

#include <QByteArray>
#include <QString>

namespace logger {

struct MqttSettings
{
    static constexpr char kDefaultPrefix[] = "pressure-logger";
    static constexpr int kTcpPort = 1883;
    static constexpr int kTlsPort = 8883;
    // More than a day of records at one a second, plus their status changes.
    static constexpr int kDefaultBufferLimit = 100000;

    QString url;                // as given; empty: no publishing
    bool tls = false;
    QString host;
    int port = 0;
    QString caFile;             // empty: the system's trusted authorities
    QString certFile;           // client certificate (PEM), optional
    QString keyFile;            // its private key (PEM), optional
    QString credentialsFile;    // empty: no user name
    QByteArray userName;
    QByteArray password;
    QString prefix = QString::fromLatin1(kDefaultPrefix);
    QString hostName;           // the topics' HOST level
    QString clientId;           // stable, so the broker keeps the session
    QString outboxDir;          // private (0700) folder of waiting messages
    int bufferLimit = kDefaultBufferLimit;

    bool enabled() const { return !url.isEmpty(); }
    // The address in the client library's form: tcp://host:port, ssl://host:port.
    QString serverUri() const;
    QString topic(const QString &adapter, const QString &leaf) const;
};

// Takes mqtt://host[:port] or mqtts://host[:port] apart into `settings`.
bool parseBrokerUrl(const QString &url, MqttSettings *settings, QString *error);

// A topic level of our own making: not empty, no '/', '+', '#' or NUL.
bool checkTopicLevel(const QString &what, const QString &level, QString *error);

// Reads the user name (first line) and password (second line) from `path`:
// a regular file, not a symbolic link, that neither group nor others may
// read or write.
bool readCredentials(const QString &path, QByteArray *userName, QByteArray *password, QString *error);

// Makes `dir` (and its parents) a folder only its owner may enter (0700);
// refuses a symbolic link or a folder of another user.
bool makePrivateFolder(const QString &dir, QString *error);

} // namespace logger
