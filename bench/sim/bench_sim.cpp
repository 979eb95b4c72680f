// bench-sim: what the simulator adds to a frame's round trip. In one run, inside a private
// namespace (bench/sim/run.sh): the bare reflector's round trip over the veth pair (the floor),
// the simulator's round trip for a BRD and for the LRW of the sensor's inputs, and the
// simulator's in-process cost per frame (Bus::handleFrame alone).
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <ecbench/raw_client.h>
#include <ecprobe/probe.h>
#include <ecsim/bus.h>
#include <ecwire/frame.h>
#include <ecwire/le.h>
#include <ecwire/registers.h>

#include <ecprobe/bringup.h>

namespace {

struct Child {
    pid_t pid = -1;
    int out = -1;
};

// Starts `argv` with its stdout on a pipe and waits up to 10 s for its 'ready' line.
bool startAndWaitReady(const std::vector<std::string> &args, Child &child)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], 1);
        ::close(fds[0]);
        ::close(fds[1]);
        std::vector<char *> argv;
        for (const std::string &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        std::fprintf(stderr, "bench-sim: cannot run %s: %s\n", argv[0], std::strerror(errno));
        ::_exit(127);
    }
    ::close(fds[1]);
    child = {pid, fds[0]};
    std::string got;
    const int64_t deadline = ecbench::nowNs() + 10'000'000'000;
    while (got.find("ready\n") == std::string::npos) {
        const int64_t left = (deadline - ecbench::nowNs()) / 1'000'000;
        pollfd p{fds[0], POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        char buf[256];
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n <= 0)
            return false;
        got.append(buf, static_cast<size_t>(n));
    }
    return true;
}

void stop(Child &child)
{
    if (child.pid > 0) {
        ::kill(child.pid, SIGTERM);
        ::waitpid(child.pid, nullptr, 0);
    }
    if (child.out >= 0)
        ::close(child.out);
    child = {};
}

struct Figures {
    double median = 0, p99 = 0, mean = 0;  // microseconds
    size_t n = 0, lost = 0;
};

Figures summarise(std::vector<int64_t> ns, size_t lost)
{
    Figures f;
    f.n = ns.size();
    f.lost = lost;
    if (ns.empty())
        return f;
    std::sort(ns.begin(), ns.end());
    double sum = 0;
    for (int64_t v : ns)
        sum += static_cast<double>(v);
    f.median = static_cast<double>(ns[ns.size() / 2]) / 1000.0;
    f.p99 = static_cast<double>(ns[std::min(ns.size() - 1, ns.size() * 99 / 100)]) / 1000.0;
    f.mean = sum / static_cast<double>(ns.size()) / 1000.0;
    return f;
}

struct Samples {
    std::vector<int64_t> ns;
    size_t lost = 0;
    Figures figures() const { return summarise(ns, lost); }
};

void roundTrips(ecbench::RawClient &client, const std::vector<uint8_t> &frame, size_t n, size_t warmup,
                Samples &into)
{
    std::vector<uint8_t> reply;
    for (size_t i = 0; i < warmup + n; ++i) {
        const int64_t t = client.roundTrip(frame, reply, 100'000);
        if (i < warmup)
            continue;
        if (t < 0)
            ++into.lost;
        else
            into.ns.push_back(t);
    }
}

void printRow(const char *what, const Figures &f)
{
    std::printf("  %-52s median %7.2f us   p99 %7.2f us   mean %7.2f us   (N=%zu, lost %zu)\n", what,
                f.median, f.p99, f.mean, f.n, f.lost);
}

void printAdded(const char *what, const Figures &sim, const Figures &bare)
{
    std::printf("  %-52s %+.2f us at the median (%.2fx the bare round trip), %+.2f us at p99\n", what,
                sim.median - bare.median, bare.median > 0 ? sim.median / bare.median : 0.0,
                sim.p99 - bare.p99);
}

// Nanoseconds per Bus::handleFrame call for `frame`, over `n` calls.
double inProcessNs(ecsim::Bus &bus, const std::vector<uint8_t> &frame, size_t n)
{
    std::vector<uint8_t> reply;
    for (size_t i = 0; i < 1000; ++i)
        bus.handleFrame(frame.data(), frame.size(), reply);
    const int64_t t0 = ecbench::nowNs();
    for (size_t i = 0; i < n; ++i)
        bus.handleFrame(frame.data(), frame.size(), reply);
    return static_cast<double>(ecbench::nowNs() - t0) / static_cast<double>(n);
}

}  // namespace

int main(int argc, char **argv)
{
    size_t n = 20000;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--frames" && i + 1 < argc) {
            n = std::strtoul(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--frames N]   (run it through bench/sim/run.sh)\n", argv[0]);
            return 2;
        }
    }
    if (n < 100)
        n = 100;
    const char *masterIf = std::getenv("ECAT_MASTER_IF");
    const char *simIf = std::getenv("ECAT_SIM_IF");
    if (!masterIf || !simIf) {
        std::fprintf(stderr, "bench-sim: needs ECAT_MASTER_IF and ECAT_SIM_IF: run it through bench/sim/run.sh\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    ecbench::RawClient client;
    std::string error;
    if (!client.open(masterIf, error)) {
        std::fprintf(stderr, "bench-sim: %s\n", error.c_str());
        return 1;
    }
    // The bare reflector and the simulator take turns on the pair, a quarter of the frames
    // at a time, so that a slow moment of this shared machine does not favour either.
    constexpr size_t kRounds = 4;
    const size_t perRound = (n + kRounds - 1) / kRounds;
    const size_t warmup = std::max<size_t>(200, perRound / 10);
    Samples bareS, brdS, lrwS;
    std::vector<int64_t> bringUpNs;
    size_t bringUpFrames = 0;
    ecprobe::BringUp wire;
    std::vector<uint8_t> lrw = ecprobe::lrwFrame(5);
    int lastWkc = -1;
    for (size_t round = 0; round < kRounds; ++round) {
        // The floor: the bare reflector.
        Child reflector;
        if (!startAndWaitReady({ECAT_BARE_REFLECTOR_PATH, "--iface", simIf}, reflector)) {
            std::fprintf(stderr, "bench-sim: the bare reflector did not start\n");
            stop(reflector);
            return 1;
        }
        roundTrips(client, ecprobe::brdFrame(), perRound, warmup, bareS);
        stop(reflector);

        // The simulator over the same pair: a BRD, the bring-up of the sensor, and the LRW of
        // its process data in OP.
        Child sim;
        if (!startAndWaitReady({ECAT_SIM_PATH, "--iface", simIf, "--slaves", "sensor", "--no-stdin",
                                "--pressure", "1013.25"},
                               sim)) {
            std::fprintf(stderr, "bench-sim: the simulator did not start\n");
            stop(sim);
            return 1;
        }
        roundTrips(client, ecprobe::brdFrame(), perRound, warmup, brdS);
        size_t frames = 0;
        ecprobe::Probe probe(
            [&client, &frames](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) {
                ++frames;
                return client.roundTrip(f, r, 100'000) >= 0;
            },
            ecprobe::monotonicClock());
        probe.pollNs = 0; // poll frame after frame, as a master in a hurry does
        const int64_t t0 = ecbench::nowNs();
        wire = ecprobe::bringUpBus(probe, ecwire::al::Op);
        if (wire.ok) {
            bringUpNs.push_back(ecbench::nowNs() - t0);
            bringUpFrames = frames;
        } else if (round == 0) {
            std::fprintf(stderr, "bench-sim: bring-up over the wire failed (%s); the LRW below maps nothing\n",
                         wire.error.c_str());
        }
        if (wire.ok)
            lrw = ecprobe::lrwFrame(static_cast<uint16_t>(wire.outputBytes + wire.inputBytes));
        roundTrips(client, lrw, perRound, warmup, lrwS);
        std::vector<uint8_t> reply;
        ecwire::ParsedFrame parsed;
        if (client.roundTrip(lrw, reply, 100'000) >= 0 &&
            ecwire::parseFrame(reply.data(), reply.size(), parsed) == ecwire::ParseError::None)
            lastWkc = parsed.datagrams[0].wkc;
        stop(sim);
    }
    const Figures bare = bareS.figures(), simBrd = brdS.figures(), simLrw = lrwS.figures();
    const uint16_t lrwLength = static_cast<uint16_t>(lrw.size() > 0 ? ecwire::getU16(lrw.data() + ecwire::ecat::FirstDatagram + ecwire::dgram::LenFlags) & ecwire::dgram::LengthMask : 0);

    // 3. The same frames through the slave model alone, in this process, on a clock of its own.
    std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create("sensor", &error);
    if (!bus) {
        std::fprintf(stderr, "bench-sim: %s\n", error.c_str());
        return 1;
    }
    uint64_t virtualNs = 1'000'000'000;
    bus->setClock([&virtualNs] { return virtualNs; });
    bus->command("pressure 1013.25");
    ecprobe::Probe local(
        [&bus](const std::vector<uint8_t> &f, std::vector<uint8_t> &r) { return bus->handleFrame(f.data(), f.size(), r); },
        ecprobe::Clock{[&virtualNs] { return virtualNs; }, [&virtualNs](uint64_t ns) { virtualNs += ns; }});
    const ecprobe::BringUp localUp = ecprobe::bringUpBus(local, ecwire::al::Op);
    const size_t calls = std::max<size_t>(n * 10, 100000);
    const double brdNs = inProcessNs(*bus, ecprobe::brdFrame(), calls);
    const double lrwNs = inProcessNs(*bus, lrw, calls);

    std::printf("Simulator benchmark over the veth pair %s <-> %s (60-byte frames, one at a time, %zu rounds taking turns)\n",
                masterIf, simIf, kRounds);
    std::printf("Round trips:\n");
    printRow("bare reflector, BRD (baseline)", bare);
    printRow("ethercat-sensor-sim, BRD of 0x0000", simBrd);
    printRow(("ethercat-sensor-sim, LRW of " + std::to_string(lrwLength) + " bytes, WKC " +
              std::to_string(lastWkc) + " of " + std::to_string(wire.expectedLrwWkc)).c_str(),
             simLrw);
    std::printf("Added by the simulator over the bare reflector:\n");
    printAdded("BRD", simBrd, bare);
    printAdded("LRW", simLrw, bare);
    std::printf("In-process, Bus::handleFrame alone (%zu calls each%s):\n", calls,
                localUp.ok ? ", slave in OP" : ", bring-up failed");
    std::printf("  %-52s %7.3f us per frame\n", "BRD of 0x0000", brdNs / 1000.0);
    std::printf("  %-52s %7.3f us per frame\n", "LRW of the process data", lrwNs / 1000.0);
    const Figures upF = summarise(bringUpNs, kRounds - bringUpNs.size());
    const double upBaseMs = bare.median * static_cast<double>(bringUpFrames) / 1000.0;
    std::printf("Bring-up of the sensor to OP over the wire (%zu frames; the floor is as many bare round trips):\n",
                bringUpFrames);
    std::printf("  %-52s median %7.2f ms   max %7.2f ms   floor %5.2f ms   (N=%zu)\n", "probe bring-up",
                upF.median / 1000.0, bringUpNs.empty() ? 0.0 : double(*std::max_element(bringUpNs.begin(), bringUpNs.end())) / 1e6,
                upBaseMs, upF.n);
    const double added = simLrw.median - bare.median;
    std::printf("Goal: the simulator adds < 5 us per frame: %s (LRW median %+.2f us)\n",
                added < 5.0 ? "met" : "NOT met", added);
    // Machine-readable: area, figure, value, unit, baseline, ratio, goal.
    auto bench = [](const char *figure, double value, const char *unit, double base, const char *goal) {
        std::printf("BENCH\tsim\t%s\t%.3f\t%s\t%.3f\t%.3f\t%s\n", figure, value, unit, base,
                    base > 0 ? value / base : 0.0, goal);
    };
    bench("BRD round trip median", simBrd.median, "us", bare.median, "bare + 5 us");
    bench("LRW round trip median", simLrw.median, "us", bare.median, "bare + 5 us");
    bench("LRW round trip p99", simLrw.p99, "us", bare.p99, "-");
    bench("bring-up to OP over the wire", upF.median / 1000.0, "ms", upBaseMs, "< 50 ms");
    std::printf("BENCH\tsim\thandleFrame BRD in-process\t%.3f\tus\t-\t-\t-\n", brdNs / 1000.0);
    std::printf("BENCH\tsim\thandleFrame LRW in-process\t%.3f\tus\t-\t-\t-\n", lrwNs / 1000.0);
    return 0;
}
