#include "broker.h"

#include "record_check.h"
#include "sim_process.h"

#include <QtCore/qtestsupport_core.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

bool acceptsConnections(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool run(const QString &program, const QStringList &args, QString *error)
{
    const Finished f = runToEnd(program, args);
    if (f.exitCode != 0)
        *error = QStringLiteral("%1 %2 failed (%3): %4").arg(program, args.join(' ')).arg(f.exitCode).arg(f.err);
    return f.exitCode == 0;
}

} // namespace

int freeLocalPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

Broker::~Broker() { stop(); }

bool Broker::start(const Options &options, QString *error)
{
    m_options = options;
    m_port = freeLocalPort();
    m_tlsPort = options.tls ? freeLocalPort() : m_port;
    const QDir dir(m_dir.path());
    // Run as root in the test, so that it reads and writes the test's folder.
    QByteArray config = "user root\nper_listener_settings false\nlog_dest stderr\nlog_type all\n"
                        "max_queued_messages 0\n";
    config += "persistence " + QByteArray(options.keepSessions ? "true" : "false") + "\npersistence_location "
            + QFile::encodeName(m_dir.path()) + "/\n";
    config += "listener " + QByteArray::number(m_port) + " 127.0.0.1\n";
    if (options.tls) {
        const QString san = dir.filePath(QStringLiteral("san.cnf"));
        writeFile(san, "subjectAltName=DNS:localhost,IP:127.0.0.1\n");
        const QString ec = QStringLiteral("ec_paramgen_curve:prime256v1");
        if (!run("openssl", {"req", "-x509", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-days", "2", "-subj",
                             "/CN=test CA", "-keyout", dir.filePath("ca.key"), "-out", caFile()}, error)
            || !run("openssl", {"req", "-newkey", "ec", "-pkeyopt", ec, "-nodes", "-subj", "/CN=localhost",
                                "-keyout", dir.filePath("server.key"), "-out", dir.filePath("server.csr")}, error)
            || !run("openssl", {"x509", "-req", "-days", "2", "-in", dir.filePath("server.csr"), "-CA", caFile(),
                                "-CAkey", dir.filePath("ca.key"), "-CAcreateserial", "-extfile", san, "-out",
                                dir.filePath("server.pem")}, error))
            return false;
        config += "listener " + QByteArray::number(m_tlsPort) + " 127.0.0.1\ncafile " + QFile::encodeName(caFile())
                + "\ncertfile " + QFile::encodeName(dir.filePath("server.pem")) + "\nkeyfile "
                + QFile::encodeName(dir.filePath("server.key")) + "\n";
    }
    if (options.user.isEmpty()) {
        config += "allow_anonymous true\n";
    } else {
        const QString passwords = dir.filePath(QStringLiteral("passwords"));
        if (!run("mosquitto_passwd", {"-c", "-b", passwords, options.user, options.password}, error))
            return false;
        config += "allow_anonymous false\npassword_file " + QFile::encodeName(passwords) + "\n";
    }
    writeFile(dir.filePath(QStringLiteral("mosquitto.conf")), config);
    return launch(error);
}

bool Broker::launch(QString *error)
{
    m_proc.setProcessChannelMode(QProcess::MergedChannels);
    m_proc.start(QStringLiteral("mosquitto"), {"-c", m_dir.filePath(QStringLiteral("mosquitto.conf"))});
    const bool up = QTest::qWaitFor(
        [this] {
            return m_proc.state() == QProcess::NotRunning
                || (acceptsConnections(m_port) && acceptsConnections(m_tlsPort));
        },
        10000);
    if (!up || m_proc.state() == QProcess::NotRunning) {
        *error = QStringLiteral("mosquitto did not start: %1 %2").arg(m_proc.errorString(), log());
        return false;
    }
    return true;
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

QString Broker::url() const
{
    return m_options.tls ? QStringLiteral("mqtts://localhost:%1").arg(m_tlsPort)
                         : QStringLiteral("mqtt://127.0.0.1:%1").arg(m_port);
}

QString Broker::log() { return QString::fromUtf8(m_proc.readAll()); }

Subscriber::~Subscriber()
{
    m_proc.terminate();
    if (!m_proc.waitForFinished(5000))
        m_proc.kill();
    m_proc.waitForFinished(3000);
}

bool Subscriber::start(const Broker &broker, const QString &filter, QString *error)
{
    // -d adds the client's own lines ("Client ... received SUBACK"); the
    // messages are the lines "TOPIC PAYLOAD" (-v).
    QStringList args{"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(broker.subscriberPort()), "-q", "1", "-c", "-i",
                     "test-subscriber", "-v", "-d", "-t", filter};
    if (!broker.options().user.isEmpty())
        args << "-u" << broker.options().user << "-P" << broker.options().password;
    // Line-buffered: it flushes the messages, but not its own lines.
    m_proc.start(QStringLiteral("stdbuf"), args);
    const bool subscribed = QTest::qWaitFor(
        [this] {
            m_out += m_proc.readAllStandardOutput();
            return m_out.contains("received SUBACK") || m_proc.state() == QProcess::NotRunning;
        },
        10000);
    if (!subscribed || m_proc.state() == QProcess::NotRunning) {
        *error = QStringLiteral("mosquitto_sub did not subscribe: %1 %2")
                     .arg(QString::fromUtf8(m_out + m_proc.readAllStandardError()), m_proc.errorString());
        return false;
    }
    return true;
}

QVector<Subscriber::Message> Subscriber::messages()
{
    m_out += m_proc.readAllStandardOutput();
    QVector<Message> out;
    const QList<QByteArray> lines = m_out.split('\n');
    for (int i = 0; i + 1 < lines.size(); ++i) {   // the last one may still be coming
        const QByteArray &line = lines[i];
        const int space = line.indexOf(' ');
        if (line.startsWith("Client ") || space < 0)
            continue;
        out.push_back({QString::fromUtf8(line.left(space)), line.mid(space + 1)});
    }
    return out;
}

QList<QByteArray> Subscriber::payloads(const QString &leaf)
{
    QList<QByteArray> out;
    for (const Message &m : messages()) {
        if (m.topic.endsWith(QLatin1Char('/') + leaf))
            out << m.payload;
    }
    return out;
}

bool Subscriber::waitFor(const QString &leaf, const QByteArray &payload, int timeoutMs)
{
    return QTest::qWaitFor([&] { return payloads(leaf).contains(payload); }, timeoutMs);
}

} // namespace testsupport
