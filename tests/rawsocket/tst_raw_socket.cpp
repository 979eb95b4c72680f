// pressure-raw-socket and the programs that use it, inside the private
// namespace of scripts/netns-run: what the helper answers for each argument
// and adapter, and what an unprivileged user gets through it.
#include "sim_process.h"
#include "tmpfs.h"

#include <rawsocket/helper.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::SimProcess;

namespace {

QString helperProgram() { return QStringLiteral(HELPER_EXE); }

bool run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

int socketDomain(int fd)
{
    int domain = -1;
    socklen_t len = sizeof domain;
    return ::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &len) == 0 ? domain : -1;
}

} // namespace

class TestRawSocket : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void helperAnswers_data();
    void helperAnswers();
    void unprivilegedUser_data();
    void unprivilegedUser();

private:
    QString master_;
    SimProcess sim_;
    QTemporaryDir dir_;
    testsupport::Tmpfs tmpfs_;
    QString busCheck_; // bin/pressure-bus-check on the tmpfs
    QString helper_;   // libexec/pressure-monitor/pressure-raw-socket beside it
    QByteArray group_ = "users";
};

void TestRawSocket::initTestCase()
{
    master_ = testsupport::masterInterface();
    if (master_.isEmpty())
        QFAIL(testsupport::kNeedsNamespace);
    // Not Ethernet, and Ethernet but down.
    QVERIFY(run("ip", {"tuntap", "add", "dev", "tun0", "mode", "tun"}));
    QVERIFY(run("ip", {"link", "add", "ecd0", "type", "veth", "peer", "name", "ecd1"}));
    QString error;
    QVERIFY2(sim_.start({"--pressure", "1013.25"}, &error), qPrintable(error));

    // The installed layout on a file system that honours file capabilities
    // (no nosuid), open to every user.
    QVERIFY(dir_.isValid());
    QVERIFY2(tmpfs_.mount(dir_.path(), "1g", &error), qPrintable(error));
    QVERIFY(QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                   | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QDir(dir_.path()).mkpath("bin") && QDir(dir_.path()).mkpath("libexec/pressure-monitor"));
    busCheck_ = dir_.filePath("bin/pressure-bus-check");
    helper_ = dir_.filePath("libexec/pressure-monitor/pressure-raw-socket");
    QVERIFY(QFile::copy(QStringLiteral(BUSCHECK_EXE), busCheck_));
    QVERIFY2(::getgrnam(group_.constData()), "this test needs the group users, of which nobody is no member");
}

// As root, so that the helper's own checks decide: every refusal is one
// line with its documented exit status, and what it hands over is a packet
// socket.
void TestRawSocket::helperAnswers_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    const QString master = testsupport::masterInterface();
    QTest::newRow("Ethernet adapter") << QStringList{master} << 0 << QString();
    QTest::newRow("missing adapter") << QStringList{"nosuch0"} << 1 << "no such adapter";
    QTest::newRow("loopback") << QStringList{"lo"} << 1 << "not an Ethernet adapter (link type 772)";
    QTest::newRow("not Ethernet") << QStringList{"tun0"} << 1 << "not an Ethernet adapter (link type 65534)";
    QTest::newRow("adapter down") << QStringList{"ecd0"} << 1 << "the adapter is down";
    QTest::newRow("empty name") << QStringList{""} << 2 << "the argument is not an adapter name";
    QTest::newRow("path") << QStringList{"../ecm0"} << 2 << "the argument is not an adapter name";
    QTest::newRow("too long") << QStringList{"ecm0123456789abc"} << 2 << "the argument is not an adapter name";
    QTest::newRow("control character") << QStringList{"ecm0\x1b[2J"} << 2 << "the argument is not an adapter name";
    QTest::newRow("no name") << QStringList{} << 2 << "usage: pressure-raw-socket ADAPTER";
    QTest::newRow("an option too") << QStringList{"--verbose", master} << 2 << "usage: pressure-raw-socket ADAPTER";
    // Run with a pipe as its standard output: it answers only on a Unix socket.
    QTest::newRow("no socket to answer on") << QStringList{master, "pipe"} << 2
                                            << "standard output is not a Unix socket";
}

void TestRawSocket::helperAnswers()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, says);
    if (args.size() == 2 && args[1] == "pipe")
        args.removeLast();
    else if (args.size() == 1) {
        std::string why;
        int exit = -2;
        const int fd = rawsocket::askHelper(helperProgram().toStdString(), args[0].toUtf8().constData(), &why, &exit);
        QCOMPARE(exit, status);
        QCOMPARE(fd >= 0, status == 0);
        if (fd >= 0) {
            QCOMPARE(socketDomain(fd), AF_PACKET);
            ::close(fd);
            return;
        }
        QVERIFY2(QString::fromStdString(why).startsWith("pressure-raw-socket: " + says), why.c_str());
        return;
    }
    const testsupport::Finished f = testsupport::runToEnd(helperProgram(), args);
    QCOMPARE(f.exitCode, status);
    QVERIFY2(f.err.startsWith("pressure-raw-socket: " + says) && f.err.count('\n') == 1, qPrintable(f.err));
}

// The user nobody runs the installed bus check, which finds the helper
// beside it: in the helper's group it reaches OP on the simulated sensor;
// otherwise one line says why and what to do, and the exit status is 3.
void TestRawSocket::unprivilegedUser_data()
{
    QTest::addColumn<bool>("member");
    QTest::addColumn<QString>("helper"); // "capability", "none" or "missing"
    QTest::addColumn<bool>("adapter");   // check the bus, or only list the adapters
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("says");
    const QString join = "an administrator adds you with `sudo usermod -aG users nobody`, then log in again";
    QTest::newRow("member") << true << "capability" << true << 0 << "working pressure sensor in OP";
    QTest::newRow("member, list") << true << "capability" << false << 0
                                  << "raw EtherCAT frames: yes (through pressure-raw-socket)";
    QTest::newRow("not a member") << false << "capability" << true << 3
                                  << "only members of the group users may open adapters; " + join;
    QTest::newRow("not a member, list") << false << "capability" << false << 3 << "Next: " + join;
    QTest::newRow("helper without capability") << true << "none" << true << 3
                                               << "lacks the capability cap_net_raw; give it once with "
                                                  "`sudo setcap cap_net_raw+ep HELPER`, or run as root";
    QTest::newRow("helper missing") << true << "missing" << true << 3 << "the raw-socket helper HELPER is missing";
}

void TestRawSocket::unprivilegedUser()
{
    QFETCH(bool, member);
    QFETCH(QString, helper);
    QFETCH(bool, adapter);
    QFETCH(int, status);
    QFETCH(QString, says);
    says.replace("HELPER", helper_);

    // root:users 0754, then the capability (chown drops it).
    QFile::remove(helper_);
    if (helper != "missing") {
        QVERIFY(QFile::copy(helperProgram(), helper_));
        QVERIFY(::chown(QFile::encodeName(helper_).constData(), 0, ::getgrnam(group_.constData())->gr_gid) == 0);
        QVERIFY(::chmod(QFile::encodeName(helper_).constData(), 0754) == 0);
        if (helper == "capability")
            QVERIFY(run("setcap", {"cap_net_raw+ep", helper_}));
    }
    QStringList args{"setpriv", "--reuid=nobody", "--regid=nogroup"};
    args << (member ? "--groups=" + QString::fromLatin1(group_) : QStringLiteral("--clear-groups")) << busCheck_;
    if (adapter)
        args << master_;
    const testsupport::Finished f = testsupport::runToEnd("env", QStringList{"-u", rawsocket::kHelperOverride} + args);
    QVERIFY2(f.exitCode == status && (f.out + f.err).contains(says), qPrintable(f.out + f.err));
    // The master's one line on a refused open.
    const QStringList masterLines = f.err.split('\n').filter("ecx_init: ");
    QCOMPARE(masterLines.size(), adapter && status != 0 ? 1 : 0);
    if (!masterLines.isEmpty())
        QVERIFY2(masterLines[0].contains(says), qPrintable(masterLines[0]));
}

QTEST_GUILESS_MAIN(TestRawSocket)
#include "tst_raw_socket.moc"
