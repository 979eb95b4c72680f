// ethercat-sensor-sim: serves a chain of simulated EtherCAT slaves on a network interface.
// One event loop waits with poll() on the capture, stdin, the control socket and a signal pipe.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <ecsim/bus.h>

#include "args.h"
#include "commands.h"
#include "control_socket.h"
#include "faults.h"
#include "frame_server.h"
#include "line_reader.h"
#include "simulator_pcap_port.h"

namespace {

constexpr const char *kName = "ethercat-sensor-sim";
constexpr int kCatchUpMs = 2;  // longest wait without a frame before the slaves catch up
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char b = 1;
    (void)!::write(g_signalPipe[1], &b, 1);
    errno = saved;
}

void writeAll(int fd, const std::string &s)
{
    size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;  // reader gone: answers are lost, the simulator keeps serving
        done += static_cast<size_t>(n);
    }
}

void complain(const std::string &msg) { writeAll(2, std::string(kName) + ": " + msg + "\n"); }

bool installSignals(std::string &error)
{
    if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot create the signal pipe: ") + std::strerror(errno);
        return false;
    }
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

}  // namespace

int main(int argc, char **argv)
{
    const ecsim::ParseResult parsed = ecsim::parseArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.options.help) {
        writeAll(1, ecsim::usageText(kName));
        return 0;
    }
    if (!parsed.ok) {
        complain(parsed.error + " (see --help)");
        return 2;
    }
    const ecsim::ProgramOptions &opt = parsed.options;

    std::string error;
    std::unique_ptr<ecsim::Bus> bus = ecsim::Bus::create(opt.slaves, &error);
    if (!bus) {
        complain("--slaves " + opt.slaves + ": " + (error.empty() ? "refused" : error));
        return 2;
    }

    ecsim::FrameFaults faults;
    ecsim::FrameCounters counters;
    // The slave model should never throw; if it does, the command fails instead of the program.
    ecsim::CommandInterpreter interpreter(faults, counters, [&bus](const std::string &line) {
        try {
            return bus->command(line);
        } catch (const std::exception &e) {
            return std::string("error: the slaves failed on this command: ") + e.what();
        }
    });
    for (const std::string &cmd : opt.startupCommands) {
        const std::string name = cmd.substr(0, cmd.find(' '));
        if (name == "quit") {
            complain("--quit is not a start-up command");
            return 2;
        }
        const std::string answer = interpreter.execute(cmd);
        if (answer.rfind("ok", 0) != 0) {
            complain("--" + cmd + ": " + (answer.empty() ? "error: empty command" : answer));
            return 2;
        }
    }

    if (!installSignals(error)) {
        complain(error);
        return 1;
    }
    ecsim::SimulatorPcapPort port;
    if (!port.open(opt.iface, error)) {
        complain(error);
        return 1;
    }
    ecsim::ControlSocket control;
    if (!opt.controlPath.empty() && !control.listen(opt.controlPath, error)) {
        complain(error);
        return 1;
    }
    ecsim::FrameServer server(
        [&bus](const uint8_t *f, size_t n, std::vector<uint8_t> &reply) {
            using Outcome = ecsim::FrameServer::Outcome;
            try {
                if (bus->handleFrame(f, n, reply))
                    return Outcome::Reply;
                return bus->lastFrameLost() ? Outcome::Lost : Outcome::Malformed;
            } catch (const std::exception &) {
                return Outcome::Malformed;  // the next frame is served as usual
            }
        },
                              [&port](const uint8_t *f, size_t n) { return port.send(f, n); }, faults,
                              counters);
    const ecsim::SimulatorPcapPort::FrameHandler onFrame = [&server](const uint8_t *d, size_t cap, size_t len) {
        server.onFrame(d, cap, len);
    };
    const auto execute = [&interpreter](const std::string &line) { return interpreter.execute(line); };

    writeAll(1, "ready\n");

    bool readStdin = opt.readStdin;
    ecsim::LineReader stdinReader;
    std::vector<pollfd> fds;
    int status = 0;
    while (!interpreter.quitRequested()) {
        fds.clear();
        fds.push_back({g_signalPipe[0], POLLIN, 0});
        fds.push_back({port.selectableFd(), POLLIN, 0});
        fds.push_back({readStdin ? 0 : -1, POLLIN, 0});
        control.addPollFds(fds);
        // Wakes at least every kCatchUpMs, so that the slaves' firmware goes
        // on (a state change, the watchdog) while no frame comes.
        const int ready = ::poll(fds.data(), fds.size(), kCatchUpMs);
        bus->advance();
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            complain(std::string("poll failed: ") + std::strerror(errno));
            status = 1;
            break;
        }
        if (fds[0].revents & POLLIN)
            break;  // SIGTERM or SIGINT: a clean end
        if (fds[1].revents) {
            const int n = port.dispatch(onFrame);
            if (n < 0 || (n == 0 && (fds[1].revents & (POLLHUP | POLLNVAL)))) {
                complain("capture on '" + opt.iface + "' failed: " +
                         (n < 0 ? port.lastError() : std::string("the interface is gone")));
                status = 1;
                break;
            }
        }
        if (fds[2].revents) {
            char buf[4096];
            const ssize_t n = ::read(0, buf, sizeof buf);
            std::vector<ecsim::LineReader::Line> lines;
            if (n > 0) {
                lines = stdinReader.feed(buf, static_cast<size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                lines = stdinReader.finish();
                readStdin = false;  // end of input: keep serving, the socket may still talk
            }
            for (const auto &line : lines) {
                const std::string answer =
                    line.tooLong ? "error: line longer than " + std::to_string(ecsim::LineReader::kMaxLine) + " bytes"
                                 : interpreter.execute(line.text);
                if (!answer.empty())
                    writeAll(1, answer + "\n");
            }
        }
        control.handleEvents(fds, execute);
    }
    return status;
}
