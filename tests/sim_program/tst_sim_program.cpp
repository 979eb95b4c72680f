// The simulator program's pieces without a network: arguments, command lines, frame faults,
// the command interpreter and what happens to one frame.
#include <QtTest>
#include <QTemporaryDir>

#include <cmath>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <ecwire/frame.h>
#include <ecwire/le.h>

#include <ecsim/bus.h>

#include "args.h"
#include "commands.h"
#include "control_socket.h"
#include "faults.h"
#include "frame_server.h"
#include "line_reader.h"
#include "raw_client.h"

using namespace ecsim;

namespace {

// Connects to the control socket at `path` as the effective user `uid` (the
// credentials SO_PEERCRED reports are those of connect), sends "stats" while
// `control` serves, and returns the answer line (empty when none came).
std::string askAs(ControlSocket &control, const std::string &path, uid_t uid, int &executed)
{
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const uid_t own = ::geteuid();
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const bool connected = ::seteuid(uid) == 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    if (::seteuid(own) != 0 || !connected)
        return "cannot connect as the user";
    (void)!::send(fd, "stats\n", 6, MSG_NOSIGNAL);  // a refused client may find the socket closed
    std::string answer;
    char buf[512];
    for (QDeadlineTimer deadline(5000); answer.find('\n') == std::string::npos && !deadline.hasExpired();) {
        std::vector<pollfd> fds;
        control.addPollFds(fds);
        ::poll(fds.data(), fds.size(), 10);
        control.handleEvents(fds, [&](const std::string &) { return ++executed, std::string("ok served"); });
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n > 0)
            answer.append(buf, size_t(n));
    }
    ::close(fd);
    return answer;
}

}  // namespace

class SimProgramTest : public QObject {
    Q_OBJECT

private slots:
    // The control socket file is private to its user whatever the umask, and
    // a client of another user (reaching it through a loosened mode) is
    // answered with one error line and cut off before any command runs.
    void controlSocketServesOnlyItsUser_data()
    {
        QTest::addColumn<uid_t>("uid");
        QTest::addColumn<QString>("answer");
        QTest::newRow("same user") << ::geteuid() << "ok served\n";
        QTest::newRow("another user") << uid_t(65534)
                                       << QString("error: the control socket takes commands only from user %1 "
                                                  "and root, not from user 65534\n")
                                              .arg(::geteuid());
    }

    void controlSocketServesOnlyItsUser()
    {
        QFETCH(uid_t, uid);
        QFETCH(QString, answer);
        if (uid != ::geteuid() && ::geteuid() != 0)
            QSKIP("needs root to connect as another user");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string path = dir.filePath("sim.sock").toStdString();
        ControlSocket control;
        std::string error;
        const mode_t mask = ::umask(0);
        const bool listening = control.listen(path, error);
        ::umask(mask);
        QVERIFY2(listening, error.c_str());
        struct stat st{};
        QCOMPARE(::stat(path.c_str(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0600));

        QCOMPARE(::chmod(dir.path().toLocal8Bit().constData(), 0755), 0);
        QCOMPARE(::chmod(path.c_str(), 0666), 0);
        int executed = 0;
        QCOMPARE(QString::fromStdString(askAs(control, path, uid, executed)), answer);
        QCOMPARE(executed, uid == ::geteuid() ? 1 : 0);
    }

    void argumentsAreParsed()
    {
        const ParseResult r = parseArguments({"--iface", "ecs0", "--slaves=sensor,dig-in", "--control",
                                              "/tmp/s", "--no-stdin", "--profile", "sine", "1000",
                                              "50", "10", "--refuse-op=on", "--seed", "5"});
        QVERIFY2(r.ok, r.error.c_str());
        QCOMPARE(r.options.iface, std::string("ecs0"));
        QCOMPARE(r.options.slaves, std::string("sensor,dig-in"));
        QCOMPARE(r.options.controlPath, std::string("/tmp/s"));
        QVERIFY(!r.options.readStdin);
        QCOMPARE(r.options.startupCommands,
                 (std::vector<std::string>{"profile sine 1000 50 10", "refuse-op on", "seed 5"}));
    }

    void badArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("no iface") << QStringList{"--slaves", "sensor"} << "--iface";
        QTest::newRow("iface without value") << QStringList{"--iface"} << "--iface";
        QTest::newRow("iface followed by a flag") << QStringList{"--iface", "--no-stdin"} << "--iface";
        QTest::newRow("stray word") << QStringList{"--iface", "x", "--no-stdin", "oops"} << "oops";
        QTest::newRow("single dash") << QStringList{"-i", "x"} << "-i";
        QTest::newRow("empty flag") << QStringList{"--iface", "x", "--=3"} << "empty";
        QTest::newRow("no-stdin with value") << QStringList{"--iface", "x", "--no-stdin=1"} << "no-stdin";
    }
    void badArgumentsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, mentions);
        std::vector<std::string> v;
        for (const QString &a : args)
            v.push_back(a.toStdString());
        const ParseResult r = parseArguments(v);
        QVERIFY(!r.ok);
        QVERIFY2(QString::fromStdString(r.error).contains(mentions), r.error.c_str());
    }

    void helpNeedsNoInterfaceAndListsCommands()
    {
        QVERIFY(parseArguments({"--help"}).options.help);
        const QString text = QString::fromStdString(usageText("sim"));
        for (const char *word : {"--iface", "--control", "drop", "corrupt", "truncate", "silence",
                                 "seed", "stats", "quit", "pressure", "profile", "refuse-op", "error-state",
                                 "sii-nack", "lose-reply", "stale-reply", "al-delay", "sdo-delay", "sii-busy"})
            QVERIFY2(text.contains(word), word);
        // Every kind and option of the model, each on the lines after "kinds:" and "options:".
        for (const std::string &list : {ecsim::Bus::deviceKinds(), ecsim::Bus::deviceOptions()})
            for (const QString &name : QString::fromStdString(list).split(", "))
                QVERIFY2(text.contains(name), qPrintable(name));
    }

    void linesAreSplitAndLongOnesRefused()
    {
        LineReader r;
        const auto feed = [&r](const std::string &bytes) { return r.feed(bytes.data(), bytes.size()); };
        auto lines = feed("stats\r\ndrop 0.");
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0].text, std::string("stats"));
        lines = feed("5\n");
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0].text, std::string("drop 0.5"));
        const std::string huge(LineReader::kMaxLine + 10, 'x');
        lines = r.feed(huge.data(), huge.size());
        QCOMPARE(lines.size(), size_t(1));
        QVERIFY(lines[0].tooLong);
        lines = feed("yy\nquit");  // the rest of the long line is dropped, not a command
        QCOMPARE(lines.size(), size_t(0));
        lines = r.finish();
        QCOMPARE(lines.size(), size_t(1));
        QCOMPARE(lines[0].text, std::string("quit"));
        // Exactly the limit is still a line.
        const std::string edge = std::string(LineReader::kMaxLine, 'z') + "\n";
        lines = r.feed(edge.data(), edge.size());
        QCOMPARE(lines.size(), size_t(1));
        QVERIFY(!lines[0].tooLong);
    }

    void randomIsSeededAndUniform()
    {
        FaultRandom a(9), b(9);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(a.next(), b.next());
        a.reseed(3);
        int hits = 0;
        for (int i = 0; i < 10000; ++i)
            hits += a.chance(0.25) ? 1 : 0;
        QVERIFY2(std::abs(hits - 2500) < 5 * std::sqrt(10000 * 0.25 * 0.75), qPrintable(QString::number(hits)));
        QVERIFY(!a.chance(0.0));
        QVERIFY(a.chance(1.0));
    }

    void faultSettersCheckTheirRange()
    {
        FrameFaults f;
        QVERIFY(!f.setDrop(-0.1).empty());
        QVERIFY(!f.setDrop(1.1).empty());
        QVERIFY(!f.setDrop(NAN).empty());
        QVERIFY(!f.setCorrupt(INFINITY).empty());
        QVERIFY(!f.setSilence(-1).empty());
        QVERIFY(!f.setSilence(1e12).empty());
        QVERIFY(f.setTruncate(0.5).empty());
        QCOMPARE(f.truncate(), 0.5);
        QCOMPARE(f.drop(), 0.0);
    }

    void silenceFollowsTheClock()
    {
        uint64_t now = 1000;
        FrameFaults f([&now] { return now; });
        QVERIFY(!f.silent());
        QVERIFY(f.setSilence(1.5).empty());
        QVERIFY(f.silent());
        now += 1'499'999'999;
        QVERIFY(f.silent());
        now += 1;
        QVERIFY(!f.silent());
        QVERIFY(f.setSilence(10).empty());
        QVERIFY(f.setSilence(0).empty());
        QVERIFY(!f.silent());
    }

    void corruptAndTruncateStayInTheDatagrams()
    {
        FrameFaults f;
        const std::vector<uint8_t> clean = bench::brdFrame(1);
        const size_t end = ecwire::ecat::FirstDatagram + (ecwire::getU16(&clean[ecwire::ecat::Offset]) & 0x7FF);
        QVERIFY(f.setCorrupt(1).empty());
        for (int i = 0; i < 200; ++i) {
            std::vector<uint8_t> r = clean;
            QCOMPARE(f.mangleReply(r), unsigned(FrameFaults::Corrupted));
            QCOMPARE(r.size(), clean.size());
            QVERIFY(std::equal(clean.begin(), clean.begin() + ecwire::eth::HeaderSize, r.begin()));
            QVERIFY(!std::equal(clean.begin(), clean.begin() + end, r.begin()));
            QVERIFY(std::equal(clean.begin() + end, clean.end(), r.begin() + end));  // padding untouched
        }
        QVERIFY(f.setCorrupt(0).empty());
        QVERIFY(f.setTruncate(1).empty());
        for (int i = 0; i < 200; ++i) {
            std::vector<uint8_t> r = clean;
            QCOMPARE(f.mangleReply(r), unsigned(FrameFaults::Truncated));
            QVERIFY(r.size() >= ecwire::eth::HeaderSize && r.size() < end);
        }
        std::vector<uint8_t> tiny(10, 0);  // nothing to mangle: left alone
        QCOMPARE(f.mangleReply(tiny), unsigned(FrameFaults::None));
        QCOMPARE(tiny.size(), size_t(10));
    }

    void interpreterHandlesFrameCommandsAndForwardsTheRest()
    {
        FrameFaults f;
        FrameCounters c;
        std::vector<std::string> forwarded;
        CommandInterpreter in(f, c, [&](const std::string &line) {
            forwarded.push_back(line);
            return line == "stats" ? std::string("ok slaves=3") : std::string("ok");
        });
        QCOMPARE(in.execute("drop 0.25"), std::string("ok"));
        QCOMPARE(f.drop(), 0.25);
        QCOMPARE(in.execute("  corrupt   1 "), std::string("ok"));
        QCOMPARE(f.corrupt(), 1.0);
        QVERIFY(in.execute("drop").rfind("error: ", 0) == 0);
        QVERIFY(in.execute("drop 0.5 0.6").rfind("error: ", 0) == 0);
        QVERIFY(in.execute("drop half").rfind("error: ", 0) == 0);
        QVERIFY(in.execute("truncate 2").rfind("error: truncate", 0) == 0);
        QVERIFY(in.execute("silence soon").rfind("error: ", 0) == 0);
        QCOMPARE(in.execute("silence off"), std::string("ok"));
        QVERIFY(in.execute("seed -1").rfind("error: ", 0) == 0);
        QVERIFY(in.execute("seed 0x10").rfind("error: ", 0) == 0);
        QCOMPARE(in.execute("seed 16"), std::string("ok"));
        QCOMPARE(in.execute(""), std::string());
        QCOMPARE(in.execute("# a comment"), std::string());
        QVERIFY(forwarded.empty());
        c.received = 7;
        const std::string stats = in.execute("stats");
        QVERIFY2(stats.rfind("ok received=7 ", 0) == 0, stats.c_str());
        QVERIFY2(stats.find(" | slaves: slaves=3") != std::string::npos, stats.c_str());
        QCOMPARE(in.execute("slave 2 refuse-op on"), std::string("ok"));
        QCOMPARE(forwarded.back(), std::string("slave 2 refuse-op on"));
        QVERIFY(!in.quitRequested());
        QCOMPARE(in.execute("quit"), std::string("ok"));
        QVERIFY(in.quitRequested());
    }

    void frameServerCountsWhatHappensToEachFrame()
    {
        uint64_t now = 0;
        FrameFaults f([&now] { return now; });
        FrameCounters c;
        int processed = 0, sent = 0;
        bool sendWorks = true;
        FrameServer server(
            [&](const uint8_t *d, size_t n, std::vector<uint8_t> &reply) {
                ++processed;
                if (n > 16 && d[16] == 0xEE)
                    return FrameServer::Outcome::Malformed;
                if (n > 16 && d[16] == 0xDD)
                    return FrameServer::Outcome::Lost;  // a slave lost the reply on purpose
                reply.assign(d, d + n);
                return FrameServer::Outcome::Reply;
            },
            [&](const uint8_t *, size_t) { return sendWorks ? (++sent, true) : false; }, f, c);
        std::vector<uint8_t> good = bench::brdFrame(1);
        server.onFrame(good.data(), good.size(), good.size());
        server.onFrame(good.data(), good.size() - 4, good.size());  // cut off in capture
        std::vector<uint8_t> ip = good;
        ip[12] = 0x08, ip[13] = 0x00;
        server.onFrame(ip.data(), ip.size(), ip.size());
        std::vector<uint8_t> bad = good;
        bad[16] = 0xEE;
        server.onFrame(bad.data(), bad.size(), bad.size());
        std::vector<uint8_t> lost = good;
        lost[16] = 0xDD;
        server.onFrame(lost.data(), lost.size(), lost.size());
        QVERIFY(f.setSilence(1).empty());
        server.onFrame(good.data(), good.size(), good.size());
        now += 2'000'000'000;
        QVERIFY(f.setDrop(1).empty());
        server.onFrame(good.data(), good.size(), good.size());
        QVERIFY(f.setDrop(0).empty());
        sendWorks = false;
        server.onFrame(good.data(), good.size(), good.size());
        QCOMPARE(c.received, 8ull);
        QCOMPARE(c.answered, 1ull);
        QCOMPARE(c.malformed, 2ull);
        QCOMPARE(c.lost, 1ull);
        QCOMPARE(c.nonEthercat, 1ull);
        QCOMPARE(c.silenced, 1ull);
        QCOMPARE(c.dropped, 1ull);
        QCOMPARE(c.sendErrors, 1ull);
        QCOMPARE(processed, 4);
        QCOMPARE(sent, 1);
    }
};

QTEST_GUILESS_MAIN(SimProgramTest)
#include "tst_sim_program.moc"
