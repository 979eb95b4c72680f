#include "broker.h"

#include "record_check.h"
#include "sim_process.h"

#include <QTcpServer>
#include <QtCore/qtestsupport_core.h>

namespace testsupport {

namespace {

bool run(const QStringList &command, QString *error)
{
    const Finished f = runToEnd(command.first(), command.mid(1));
    if (f.exitCode != 0)
        *error = QStringLiteral("%1 failed (%2): %3").arg(command.join(' ')).arg(f.exitCode).arg(f.err);
    return f.exitCode == 0;
}

int freeLocalPort()
{
    QTcpServer server;   // bound and released
    return server.listen(QHostAddress::LocalHost) ? server.serverPort() : 0;
}

} // namespace

Broker::~Broker()
{
    stop();
    m_subscriber.kill();
    m_subscriber.waitForFinished(3000);
}

bool Broker::start(const Options &options, QString *error)
{
    m_options = options;
    m_port = freeLocalPort();
    m_tlsPort = options.tls ? freeLocalPort() : m_port;
    const QByteArray dir = QFile::encodeName(m_dir.path());
    // Run as root in the test, so that it reads and writes the test's folder.
    QByteArray config = "user root\nper_listener_settings false\nlog_dest stderr\nlog_type all\n"
                        "max_queued_messages 0\npersistence_location " + dir + "/\npersistence "
                      + (options.keepSessions ? "true" : "false") + "\nlistener " + QByteArray::number(m_port)
                      + " 127.0.0.1\n";
    if (options.tls) {
        // A CA, and certificates it signs: the broker's names localhost.
        const QStringList key{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        const auto issue = [&](const QString &name, const QString &subject) {
            return run(QStringList{"openssl", "req"} + key + QStringList{"-subj", subject, "-keyout", name + ".key",
                                                                          "-out", name + ".csr"}, error)
                && run({"openssl", "x509", "-req", "-days", "2", "-in", name + ".csr", "-CA", file("ca.pem"),
                        "-CAkey", file("ca.key"), "-CAcreateserial", "-extfile", file("san.cnf"), "-out",
                        name + ".pem"}, error);
        };
        writeFile(file("san.cnf"), "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        if (!run(QStringList{"openssl", "req", "-x509", "-days", "2"} + key
                     + QStringList{"-subj", "/CN=test CA", "-keyout", file("ca.key"), "-out", file("ca.pem")}, error)
            || !issue(file("server"), "/CN=localhost") || !issue(file("client"), "/CN=pressure-logger"))
            return false;
        config += "listener " + QByteArray::number(m_tlsPort) + " 127.0.0.1\ncafile " + dir + "/ca.pem\ncertfile "
                + dir + "/server.pem\nkeyfile " + dir + "/server.key\nrequire_certificate "
                + (options.clientCertificate ? "true" : "false") + "\n";
    }
    if (options.user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        if (!run({"mosquitto_passwd", "-c", "-b", file("passwords"), options.user, options.password}, error))
            return false;
        config += "allow_anonymous false\npassword_file " + dir + "/passwords\n";
    }
    writeFile(file("mosquitto.conf"), config);
    return launch(error) && subscribe(error);
}

bool Broker::launch(QString *error)
{
    m_proc.setProcessChannelMode(QProcess::MergedChannels);
    m_proc.start(QStringLiteral("mosquitto"), {"-c", file("mosquitto.conf")});
    // It says so once every listener is open.
    QString seen;
    const bool up = awaitLine(m_proc, &seen, QRegularExpression(QStringLiteral("mosquitto version \\S+ running$")));
    m_log += seen;
    if (!up)
        *error = QStringLiteral("mosquitto did not start: %1 %2").arg(m_proc.errorString(), log());
    return up;
}

bool Broker::restart(QString *error)
{
    stop();
    return launch(error);
}

void Broker::stop()
{
    if (m_proc.state() == QProcess::NotRunning)
        return;
    m_proc.terminate();
    if (!m_proc.waitForFinished(10000)) {
        m_proc.kill();
        m_proc.waitForFinished(3000);
    }
}

QStringList Broker::loggerOptions() const
{
    if (!m_options.tls)
        return {"--mqtt", QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port)};
    QStringList options{"--mqtt", QStringLiteral("mqtts://localhost:%1").arg(m_tlsPort), "--mqtt-ca", file("ca.pem")};
    if (m_options.clientCertificate)
        options << "--mqtt-cert" << file("client.pem") << "--mqtt-key" << file("client.key");
    return options;
}

QString Broker::log() { return m_log += QString::fromUtf8(m_proc.readAll()); }

bool Broker::subscribe(QString *error)
{
    // Line-buffered: it flushes every message ("TOPIC PAYLOAD", -v); -d adds
    // the client's own lines ("Client ... received SUBACK").
    QStringList args{"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(m_port), "-q", "1",
                     "-c", "-i", "test-subscriber", "-v", "-d", "-t", "#"};
    if (!m_options.user.isEmpty())
        args << "-u" << m_options.user << "-P" << m_options.password;
    m_subscriber.start(QStringLiteral("stdbuf"), args);
    const bool subscribed = QTest::qWaitFor(
        [this] {
            m_received += m_subscriber.readAllStandardOutput();
            return m_received.contains("received SUBACK") || m_subscriber.state() == QProcess::NotRunning;
        },
        10000);
    if (!subscribed || m_subscriber.state() == QProcess::NotRunning)
        *error = QStringLiteral("mosquitto_sub did not subscribe: %1 %2")
                     .arg(QString::fromUtf8(m_received + m_subscriber.readAllStandardError()), m_subscriber.errorString());
    return subscribed && m_subscriber.state() == QProcess::Running;
}

QList<QByteArray> Broker::payloads(const QString &leaf)
{
    m_received += m_subscriber.readAllStandardOutput();
    QList<QByteArray> out;
    QList<QByteArray> lines = m_received.split('\n');
    lines.removeLast();   // empty, or a line still coming
    const QByteArray end = '/' + leaf.toUtf8() + ' ';
    for (const QByteArray &line : lines) {
        const int space = line.indexOf(' ');
        if (!line.startsWith("Client ") && space > 0 && line.left(space + 1).endsWith(end))
            out << line.mid(space + 1);
    }
    return out;
}

bool Broker::waitFor(const QString &leaf, const QByteArray &payload, int timeoutMs)
{
    return QTest::qWaitFor([&] { return payloads(leaf).contains(payload); }, timeoutMs);
}

} // namespace testsupport
