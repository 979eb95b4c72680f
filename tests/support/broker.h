// A real MQTT broker (mosquitto) on 127.0.0.1 for a test, and a real
// subscriber (mosquitto_sub) that reads everything it delivers.
//
// The broker's configuration goes into a folder of its own: a free port for
// the subscriber (plain), and for the program under test either the same port
// or a TLS port whose certificate comes from a CA that the fixture makes
// with the openssl command (and that also signs the program's certificate
// when the broker asks for one), a password file (mosquitto_passwd), and a
// store that keeps the sessions of clients across a restart (off unless asked).
// The subscriber reads at QoS 1 in a persistent session (clean session off),
// so that it gets what was queued for it while the broker was away.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

class Broker
{
public:
    struct Options
    {
        bool tls = false;           // the program's port speaks TLS
        bool clientCertificate = false;   // ... and asks for a certificate of the CA
        QByteArray user;            // with a password: no anonymous clients
        QByteArray password;
        bool keepSessions = false;  // sessions and queued messages survive a restart
    };

    ~Broker();

    // Writes the configuration (and the certificates), starts the broker
    // and subscribes to every topic; true once the broker has acknowledged.
    bool start(const Options &options, QString *error);
    bool restart(QString *error);   // on the same ports, with the same files
    void stop();                    // SIGTERM: the broker saves its store

    // The logger's options for this broker: --mqtt mqtt://127.0.0.1:PORT, or
    // mqtts://localhost:PORT with --mqtt-ca (and --mqtt-cert, --mqtt-key).
    QStringList loggerOptions() const;
    QString log();

    // Payloads the subscriber got on topics that end with `leaf`, in order.
    QList<QByteArray> payloads(const QString &leaf);
    bool waitFor(const QString &leaf, const QByteArray &payload, int timeoutMs);

private:
    bool launch(QString *error);
    bool subscribe(QString *error);
    QString file(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    QProcess m_proc;
    QString m_log;
    QProcess m_subscriber;
    QByteArray m_received;
    Options m_options;
    int m_port = 0;
    int m_tlsPort = 0;
};

} // namespace testsupport
