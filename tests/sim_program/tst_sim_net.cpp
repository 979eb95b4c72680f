// The simulator program on a veth pair inside a private namespace (scripts/netns-run):
// frames sent by a raw client come back processed, and the frame-level faults show on the wire.
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <random>
#include <poll.h>
#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <ecprobe/bringup.h>
#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/mailbox.h>
#include <ecwire/registers.h>

#include "raw_client.h"
#include "sim_process.h"

using bench::brdFrame;
using ecwire::Command;
using testsupport::SimProcess;

namespace {

constexpr int64_t kReplyTimeoutUs = 200 * 1000;
const QStringList kThreeSlaves{"--slaves", "sensor,dig-out,dig-in"};

// End of the datagrams of a frame, from its EtherCAT header.
size_t datagramsEnd(const std::vector<uint8_t> &f)
{
    return ecwire::ecat::FirstDatagram +
           (ecwire::getU16(f.data() + ecwire::ecat::Offset) & ecwire::ecat::LengthMask);
}

// A control-socket client: one command line out, one answer line back, with a deadline.
class ControlClient {
public:
    ~ControlClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool connect(const QString &path)
    {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = path.toLocal8Bit();
        if (fd_ < 0 || size_t(p.size()) >= sizeof addr.sun_path)
            return false;
        memcpy(addr.sun_path, p.constData(), size_t(p.size()));
        return ::connect(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
    }
    QString ask(const QByteArray &line)
    {
        const QByteArray out = line + '\n';
        if (::send(fd_, out.constData(), size_t(out.size()), MSG_NOSIGNAL) != out.size())
            return "send failed";
        QDeadlineTimer deadline(5000);
        while (!in_.contains('\n') && !deadline.hasExpired()) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char buf[512];
            const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            in_.append(buf, int(n));
        }
        const int nl = in_.indexOf('\n');
        if (nl < 0)
            return QString();
        const QString answer = QString::fromUtf8(in_.left(nl));
        in_.remove(0, nl + 1);
        return answer;
    }

private:
    int fd_ = -1;
    QByteArray in_;
};

}  // namespace

class SimNetTest : public QObject {
    Q_OBJECT

private:
    QString simIf_;
    bench::RawClient client_;

    bool startSim(SimProcess &sim, const QStringList &extra)
    {
        QString error;
        const bool ok = sim.start(extra, &error);
        if (!ok)
            qWarning("%s", qPrintable(error));
        return ok;
    }

    // Runs the simulator with `args` to its end (for flags it refuses): the
    // exit code, and its stderr in `err`.
    static int runToEnd(const QStringList &args, QString &err)
    {
        const testsupport::Finished f = testsupport::runToEnd(testsupport::simulatorProgram(), args, 10000);
        err = f.err;
        return f.exitCode;
    }

    // Sends a BRD of register 0x0000 and returns the working counter of its reply, -1 when
    // none came back. Replies to earlier frames still on their way are skipped.
    int brdWkc(uint8_t index = 0xA5)
    {
        client_.drain();
        if (!client_.send(brdFrame(index)))
            return -3;
        const int64_t deadline = bench::nowNs() + kReplyTimeoutUs * 1000;
        std::vector<uint8_t> reply;
        for (int64_t left; (left = deadline - bench::nowNs()) > 0;) {
            if (!client_.receive(reply, left / 1000 + 1))
                break;
            ecwire::ParsedFrame parsed;
            if (ecwire::parseFrame(reply.data(), reply.size(), parsed) == ecwire::ParseError::None &&
                parsed.datagrams.size() == 1 && parsed.datagrams[0].index == index &&
                parsed.datagrams[0].command == uint8_t(Command::BRD))
                return parsed.datagrams[0].wkc;
        }
        return -1;
    }

    // Sends `count` BRD frames in bursts and returns how many replies came back, waiting for
    // stragglers until the simulator has seen every frame and the replies match its count.
    int sendBursts(SimProcess &sim, int count)
    {
        const qulonglong before = sim.frameCounters().value("answered");
        int answered = 0;
        std::vector<uint8_t> reply;
        for (int sent = 0; sent < count;) {
            const int burst = std::min(50, count - sent);
            for (int i = 0; i < burst; ++i)
                client_.send(brdFrame(static_cast<uint8_t>(sent + i)));
            sent += burst;
            while (client_.receive(reply, 30 * 1000))  // until a quiet gap
                ++answered;
        }
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && sim.frameCounters().value("answered") - before != qulonglong(answered)) {
            while (client_.receive(reply, 50 * 1000))
                ++answered;
        }
        return answered;
    }

    // The protocol over the veth pair, on the monotonic clock.
    ecprobe::Probe wireProbe()
    {
        return ecprobe::Probe(
            [this](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) {
                return client_.roundTrip(f, r, kReplyTimeoutUs) >= 0;
            },
            ecprobe::monotonicClock());
    }

private slots:
    void init() { client_.drain(); }

    void initTestCase()
    {
        if (!testsupport::insideNamespace())
            QSKIP(testsupport::kNeedsNamespace);
        simIf_ = testsupport::simulatorInterface();
        std::string error;
        QVERIFY2(client_.open(testsupport::masterInterface().toStdString(), error), error.c_str());
    }

    void brdComesBackWithWkcOfEverySlave()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves));
        const std::vector<uint8_t> frame = brdFrame(0x33);
        std::vector<uint8_t> reply;
        QVERIFY2(client_.roundTrip(frame, reply, kReplyTimeoutUs) >= 0, "no reply to BRD");
        QVERIFY(reply[ecwire::eth::Source] & ecwire::eth::SourceReturnedBit);
        QCOMPARE(reply[ecwire::eth::Source] & ~ecwire::eth::SourceReturnedBit,
                 frame[ecwire::eth::Source] & ~ecwire::eth::SourceReturnedBit);
        ecwire::ParsedFrame parsed;
        QCOMPARE(ecwire::parseFrame(reply.data(), reply.size(), parsed), ecwire::ParseError::None);
        QCOMPARE(parsed.datagrams.size(), size_t(1));
        const ecwire::DatagramView &d = parsed.datagrams[0];
        QCOMPARE(d.command, uint8_t(Command::BRD));
        QCOMPARE(d.index, uint8_t(0x33));
        QCOMPARE(d.wkc, uint16_t(3));
        QCOMPARE(d.adp, uint16_t(3));  // every slave increments ADP as the frame passes
        const auto s = sim.frameCounters();
        QCOMPARE(s.value("received"), 1ull);
        QCOMPARE(s.value("answered"), 1ull);
        QCOMPARE(sim.stop(), 0);
    }

    void slaveCommandsReachTheSensorImage()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves + QStringList{"--pressure", "1013.25"}));
        ecprobe::Probe probe = wireProbe();
        const ecprobe::BringUp up = ecprobe::bringUpBus(probe, ecwire::al::Op);
        QVERIFY2(up.ok, up.error.c_str());
        QCOMPARE(up.slaves.size(), size_t(3));
        QCOMPARE(up.slaves[0].inputBytes, 5u); // the sensor first, at logical 0
        QCOMPARE(up.slaves[0].outputBytes, 0u);
        // The sensor's image: flags, then the float in 0.01 mbar.
        auto readImage = [this](std::vector<uint8_t> &image) {
            std::vector<uint8_t> reply;
            ecwire::ParsedFrame parsed;
            if (client_.roundTrip(bench::lrwFrame(5, 0x42), reply, kReplyTimeoutUs) < 0 ||
                ecwire::parseFrame(reply.data(), reply.size(), parsed) != ecwire::ParseError::None)
                return -1;
            const ecwire::DatagramView &d = parsed.datagrams[0];
            image.assign(reply.begin() + long(d.dataOffset), reply.begin() + long(d.dataOffset + d.length));
            return int(d.wkc);
        };
        std::vector<uint8_t> image;
        QCOMPARE(readImage(image), 1);
        QCOMPARE(image[0] & 0x01, 0x01);
        QCOMPARE(ecwire::getF32(&image[1]), 101325.0f);
        QCOMPARE(sim.command("pressure 500"), QString("ok"));
        QCOMPARE(readImage(image), 1);
        QCOMPARE(ecwire::getF32(&image[1]), 50000.0f);
        QCOMPARE(sim.command("image 050000C842"), QString("ok"));
        QCOMPARE(readImage(image), 1);
        QVERIFY(image == (std::vector<uint8_t>{0x05, 0x00, 0x00, 0xC8, 0x42}));
        QVERIFY(sim.command("pressure lots").startsWith("error: "));
        QCOMPARE(sim.stop(), 0);
    }

    // Devices with options on the list: the ESC behaviour they ask for shows on the wire.
    void deviceOptionsOverTheWire()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, {"--slaves", "sensor+sii4+al-delay=5+stale-reply,dig-out+keep-mac+no-lrw,"
                                           "dig-in+keep-mac+eeprom-loading=30+dc32"}));
        ecprobe::Probe probe = wireProbe();
        QElapsedTimer t;
        t.start();
        const ecprobe::BringUp up = ecprobe::bringUpBus(probe, ecwire::al::Op);
        QVERIFY2(up.ok, up.error.c_str());
        QVERIFY(t.elapsed() >= 3 * 5); // INIT, PRE-OP, SAFE-OP, OP of the sensor at 5 ms each, at least
        QCOMPARE(up.slaves[0].inputBytes, 5u);
        QCOMPARE(up.slaves[0].sizesFrom, std::string("CoE")); // past the stale reply
        QCOMPARE(up.slaves[1].outputBytes, 1u);
        QVERIFY(!up.slaves[1].lrw);
        QCOMPARE(up.slaves[2].inputBytes, 2u);
        uint16_t features = 0, sii = 0;
        QVERIFY(probe.read16(ecprobe::Probe::station(2), ecwire::reg::Features, features));
        QCOMPARE(features, ecwire::reg::FeatureDc);
        QVERIFY(probe.read16(ecprobe::Probe::station(0), ecwire::reg::SiiControl, sii));
        QCOMPARE(sii & ecwire::reg::SiiRead8Bytes, 0);
        // A reply lost on the wire comes back with the repeat request.
        QCOMPARE(sim.command("slave 1 lose-reply"), QString("ok"));
        const ecprobe::MailboxLayout mbx = up.slaves[0].mailbox;
        std::vector<uint8_t> data;
        QVERIFY(!probe.upload(ecprobe::Probe::station(0), mbx, 0x1018, 1, false, data));
        std::vector<uint8_t> again;
        QVERIFY2(probe.repeatLastReply(ecprobe::Probe::station(0), mbx, again), probe.error().c_str());
        ecwire::SdoReply r;
        QVERIFY(ecwire::decodeSdoReply(again.data(), again.size(), r));
        QCOMPARE(r.index, uint16_t(0x1018));
        QCOMPARE(sim.frameCounters().value("lost"), 1ull);
        QCOMPARE(sim.command("slave 3 sii-nack 2"), QString("ok"));
        std::vector<uint16_t> words;
        QVERIFY2(probe.readSii(ecprobe::Probe::station(2), 8, 4, words), probe.error().c_str());
        QVERIFY(sim.command("slave 3 stats").contains("sii-nacks=2"));
        QCOMPARE(sim.stop(), 0);
    }

    // The device kinds with options that change their SII, object dictionary and mailboxes:
    // over the wire each reaches OP with the sizes its object dictionary gives.
    void deviceKindsOverTheWire()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, {"--slaves", "wide-in+no-pdo-assign+sdo-segmented,bits-in+no-sii-pdo+no-1c00,"
                                           "io-mixed+mbx-asym+ca-refused+alt-pdo,drive+mbx512+no-sm-category+dc32,"
                                           "sensor+no-coe+sdo-delay=1"}));
        ecprobe::Probe probe = wireProbe();
        const ecprobe::BringUp up = ecprobe::bringUpBus(probe, ecwire::al::Op);
        QVERIFY2(up.ok, up.error.c_str());
        QCOMPARE(up.slaves.size(), size_t(5));
        const uint32_t inputs[] = {26, 5, 6, 11, 5}, outputs[] = {0, 0, 4, 7, 0};
        for (size_t i = 0; i < 5; ++i) {
            QCOMPARE(up.slaves[i].inputBytes, inputs[i]);
            QCOMPARE(up.slaves[i].outputBytes, outputs[i]);
        }
        QCOMPARE(up.slaves[4].sizesFrom, std::string("SII PDOs"));
        std::vector<uint8_t> reply;
        const std::vector<uint8_t> lrw = bench::lrwFrame(uint16_t(up.inputBytes + up.outputBytes), 7);
        QVERIFY(client_.roundTrip(lrw, reply, kReplyTimeoutUs) >= 0);
        ecwire::ParsedFrame parsed;
        QCOMPARE(ecwire::parseFrame(reply.data(), reply.size(), parsed), ecwire::ParseError::None);
        QCOMPARE(parsed.datagrams[0].wkc, up.expectedLrwWkc);
        QCOMPARE(sim.stop(), 0);
    }

    void badFramesAreCountedAndSurvived()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves));
        // EtherCAT header of a type other than datagrams.
        std::vector<uint8_t> other = brdFrame(1);
        ecwire::putU16(other.data() + ecwire::ecat::Offset, static_cast<uint16_t>(5u << 12 | 12));
        QVERIFY(client_.send(other));
        // Datagram length running past the frame.
        std::vector<uint8_t> bad = brdFrame(2);
        ecwire::putU16(bad.data() + ecwire::ecat::FirstDatagram + ecwire::dgram::LenFlags, 1400);
        QVERIFY(client_.send(bad));
        // Only an Ethernet header.
        std::vector<uint8_t> stub = brdFrame(3);
        stub.resize(ecwire::eth::HeaderSize);
        QVERIFY(client_.send(stub));
        // Another protocol: the capture filter keeps it away, it is not even received.
        std::vector<uint8_t> ipv4 = brdFrame(4);
        ecwire::putU16Be(ipv4.data() + ecwire::eth::EtherType, 0x0800);
        QVERIFY(client_.send(ipv4));
        QCOMPARE(brdWkc(), 3);
        const auto s = sim.frameCounters();
        QCOMPARE(s.value("received"), 4ull);
        QCOMPARE(s.value("non-ethercat"), 1ull);
        QCOMPARE(s.value("malformed"), 2ull);
        QCOMPARE(s.value("answered"), 1ull);
        QCOMPARE(sim.stop(), 0);
    }

    void silenceGivesNoReplyThenRepliesReturn()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves));
        QCOMPARE(brdWkc(), 3);
        QElapsedTimer since;
        since.start();
        QCOMPARE(sim.command("silence 1"), QString("ok"));
        QCOMPARE(brdWkc(), -1);
        // Replies return once the second is over; poll with a deadline.
        int wkc = -1;
        while (wkc < 0 && since.elapsed() < 5000)
            wkc = brdWkc();
        QCOMPARE(wkc, 3);
        QVERIFY2(since.elapsed() >= 950, qPrintable(QString::number(since.elapsed())));
        QVERIFY(sim.frameCounters().value("silenced") >= 1);
        // 'silence off' ends a long silence at once.
        QCOMPARE(sim.command("silence 60"), QString("ok"));
        QCOMPARE(brdWkc(), -1);
        QCOMPARE(sim.command("silence off"), QString("ok"));
        QCOMPARE(brdWkc(), 3);
        QCOMPARE(sim.stop(), 0);
    }

    void dropRateFollowsTheSetting()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves + QStringList{"--seed", "42", "--drop", "0.3"}));
        constexpr int n = 2000;
        const int answered = sendBursts(sim, n);
        QTRY_COMPARE_WITH_TIMEOUT(sim.frameCounters().value("received"), qulonglong(n), 5000);
        const auto s = sim.frameCounters();
        QCOMPARE(s.value("dropped") + s.value("answered"), qulonglong(n));
        QCOMPARE(s.value("answered"), qulonglong(answered));
        // Five standard deviations of the binomial count around n * 0.3.
        const double sd = std::sqrt(n * 0.3 * 0.7);
        const double lost = n - answered;
        QVERIFY2(std::fabs(lost - n * 0.3) < 5 * sd,
                 qPrintable(QString("lost %1 of %2").arg(lost).arg(n)));
        QCOMPARE(sim.command("drop 0"), QString("ok"));
        QCOMPARE(sendBursts(sim, 200), 200);
        QCOMPARE(sim.stop(), 0);
    }

    void corruptAndTruncateChangeReplies()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves + QStringList{"--seed", "7"}));
        std::vector<uint8_t> clean, reply;
        QVERIFY(client_.roundTrip(brdFrame(9), clean, kReplyTimeoutUs) >= 0);
        const size_t end = datagramsEnd(clean);

        QCOMPARE(sim.command("corrupt 1"), QString("ok"));
        for (int i = 0; i < 20; ++i) {
            QVERIFY(client_.roundTrip(brdFrame(9), reply, kReplyTimeoutUs) >= 0);
            QCOMPARE(reply.size(), clean.size());
            QVERIFY(std::equal(clean.begin(), clean.begin() + ecwire::eth::HeaderSize, reply.begin()));
            QVERIFY(!std::equal(clean.begin(), clean.begin() + end, reply.begin()));
        }
        QCOMPARE(sim.command("corrupt 0"), QString("ok"));
        QCOMPARE(sim.command("truncate 1"), QString("ok"));
        for (int i = 0; i < 20; ++i) {
            QVERIFY(client_.roundTrip(brdFrame(9), reply, kReplyTimeoutUs) >= 0);
            QVERIFY(reply.size() >= ecwire::eth::HeaderSize);
            QVERIFY2(reply.size() < end, qPrintable(QString::number(reply.size())));
        }
        QCOMPARE(sim.command("truncate 0"), QString("ok"));
        QVERIFY(client_.roundTrip(brdFrame(9), reply, kReplyTimeoutUs) >= 0);
        QVERIFY(reply == clean);
        const auto s = sim.frameCounters();
        QCOMPARE(s.value("corrupted"), 20ull);
        QCOMPARE(s.value("truncated"), 20ull);
        QCOMPARE(sim.stop(), 0);
    }

    void controlSocketServesSeveralClients()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("sim.sock");
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves + QStringList{"--control", path, "--no-stdin"}));
        ControlClient a, b;
        QVERIFY(a.connect(path));
        QVERIFY(b.connect(path));
        auto ask = [](ControlClient &c, const QByteArray &line) { return c.ask(line); };
        QVERIFY(ask(a, "stats").startsWith("ok received=0 "));
        QVERIFY(ask(b, "drop 2").startsWith("error: "));
        QVERIFY(ask(b, "no-such-command").startsWith("error: "));
        QVERIFY(ask(a, QByteArray(5000, 'x')).startsWith("error: line longer than"));
        QCOMPARE(ask(a, "silence off"), QString("ok"));
        QCOMPARE(brdWkc(), 3);
        QVERIFY(ask(b, "stats").startsWith("ok received=1 answered=1 "));
        QCOMPARE(ask(b, "quit"), QString("ok"));
        QVERIFY(sim.process().waitForFinished(5000));
        QCOMPARE(sim.process().exitCode(), 0);
        QVERIFY2(!QFile::exists(path), "socket file left behind");
    }

    void controlSocketPathIsCheckedBeforeUse()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("sim.sock");
        QString err;
        {
            // A regular file at the path is left alone.
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("keep me");
        }
        QCOMPARE(runToEnd({"--iface", simIf_, "--control", path}, err), 1);
        QVERIFY2(err.contains("not a socket"), qPrintable(err));
        QVERIFY(QFile::remove(path));
        // A socket in use by a running simulator is refused; once it is gone, it is replaced.
        SimProcess first;
        QVERIFY(startSim(first, {"--control", path}));
        QCOMPARE(runToEnd({"--iface", simIf_, "--control", path}, err), 1);
        QVERIFY2(err.contains("in use"), qPrintable(err));
        first.process().kill();  // no clean-up: the socket file stays behind
        QVERIFY(first.process().waitForFinished(5000));
        QVERIFY(QFile::exists(path));
        SimProcess second;
        QVERIFY(startSim(second, {"--control", path}));
        ControlClient c;
        QVERIFY(c.connect(path));
        QVERIFY(c.ask("stats").startsWith("ok "));
        QCOMPARE(second.stop(), 0);
    }

    void terminateEndsCleanly()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves));
        QCOMPARE(brdWkc(), 3);
        QCOMPARE(sim.terminate(), 0);
        SimProcess other;
        QVERIFY(startSim(other, kThreeSlaves));
        QCOMPARE(::kill(pid_t(other.process().processId()), SIGINT), 0);
        QVERIFY(other.process().waitForFinished(5000));
        QCOMPARE(other.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(other.process().exitCode(), 0);
    }

    void badFlagsExitWithStatus2()
    {
        QString err;
        QCOMPARE(runToEnd({"--slaves", "sensor"}, err), 2);
        QVERIFY2(err.contains("--iface"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "--no-such-flag", "1"}, err), 2);
        QVERIFY2(err.contains("no-such-flag"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "--drop", "1.5"}, err), 2);
        QVERIFY2(err.contains("drop"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "--pressure", "lots"}, err), 2);
        QVERIFY2(err.contains("--pressure lots"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "--slaves", "sensor,toaster"}, err), 2);
        QVERIFY2(err.contains("toaster"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "--slaves", "sensor+warp-drive"}, err), 2);
        QVERIFY2(err.contains("warp-drive") && err.contains("keep-mac"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "--slaves", "dig-in+sdo-delay=5"}, err), 2);
        QVERIFY2(err.contains("needs a mailbox"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", simIf_, "stray"}, err), 2);
        QVERIFY2(err.contains("stray"), qPrintable(err));
        QCOMPARE(runToEnd({"--iface", "no-such-if0"}, err), 1);
        QVERIFY2(err.contains("no-such-if0") && err.count('\n') == 1, qPrintable(err));
        QCOMPARE(runToEnd({"--help"}, err), 0);
    }

    void randomFramesNeverKillIt()
    {
        SimProcess sim;
        QVERIFY(startSim(sim, kThreeSlaves + QStringList{"--no-stdin"}));
        std::mt19937 rng(20261207);
        const std::vector<uint8_t> valid = brdFrame(1);
        constexpr int n = 3000;
        for (int i = 0; i < n; ++i) {
            std::vector<uint8_t> f;
            switch (rng() % 3) {
            case 0:  // random bytes behind a valid Ethernet header
                f.assign(valid.begin(), valid.begin() + ecwire::eth::HeaderSize);
                f.resize(ecwire::eth::HeaderSize + rng() % (ecwire::eth::MaxFrameSize - 13));
                for (size_t k = ecwire::eth::HeaderSize; k < f.size(); ++k)
                    f[k] = static_cast<uint8_t>(rng());
                break;
            case 1:  // a valid frame cut short
                f.assign(valid.begin(), valid.begin() + ecwire::eth::HeaderSize + rng() % (valid.size() - 13));
                break;
            default:  // a valid frame with a few bytes flipped
                f = valid;
                for (int k = 0; k < 3; ++k)
                    f[ecwire::eth::HeaderSize + rng() % (f.size() - ecwire::eth::HeaderSize)] ^= static_cast<uint8_t>(rng());
            }
            QVERIFY(client_.send(f));
            if (i % 100 == 99)  // the simulator still answers, and keeps up
                QCOMPARE(brdWkc(), 3);
        }
        QCOMPARE(brdWkc(), 3);
        QCOMPARE(sim.process().state(), QProcess::Running);
        QCOMPARE(sim.terminate(), 0);
    }
};

QTEST_GUILESS_MAIN(SimNetTest)
#include "tst_sim_net.moc"
