// A real MQTT broker (mosquitto) on 127.0.0.1 for a test, and a real
// subscriber (mosquitto_sub) that reads from it.
//
// The broker's configuration goes into a folder of its own: a free port for
// subscribers (plain), and for the program under test either the same port
// or a TLS port with a server certificate from a CA that the fixture makes
// with the openssl command, a password file (mosquitto_passwd), and a store
// that keeps the sessions of clients across a restart (off unless asked).
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace testsupport {

class Broker
{
public:
    struct Options
    {
        bool tls = false;          // the program's port speaks TLS
        QByteArray user;           // with a password: no anonymous clients
        QByteArray password;
        bool keepSessions = false; // sessions and queued messages survive a restart
    };

    Broker() = default;
    ~Broker();
    Broker(const Broker &) = delete;
    Broker &operator=(const Broker &) = delete;

    // Writes the configuration (and the certificates) and starts the broker;
    // true once it accepts connections.
    bool start(const Options &options, QString *error);
    bool restart(QString *error);   // on the same ports, with the same files
    void stop();                    // SIGTERM: the broker saves its store

    // For the program under test: mqtt://127.0.0.1:PORT or mqtts://localhost:PORT.
    QString url() const;
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }
    int subscriberPort() const { return m_port; }
    const Options &options() const { return m_options; }
    QString log();

private:
    bool launch(QString *error);

    QTemporaryDir m_dir;
    QProcess m_proc;
    Options m_options;
    int m_port = 0;
    int m_tlsPort = 0;
};

// mosquitto_sub on the broker's plain port at QoS 1 in a persistent session
// (clean session off), so that it gets what was queued for it while the
// broker was away.
class Subscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    ~Subscriber();
    // Subscribes to `filter`; true once the broker has acknowledged.
    bool start(const Broker &broker, const QString &filter, QString *error);
    QVector<Message> messages();
    // Payloads of the messages whose topic ends with `leaf`, in order.
    QList<QByteArray> payloads(const QString &leaf);
    bool waitFor(const QString &leaf, const QByteArray &payload, int timeoutMs);

private:
    QProcess m_proc;
    QByteArray m_out;
};

// A free TCP port on 127.0.0.1 (bound and released).
int freeLocalPort();

} // namespace testsupport
