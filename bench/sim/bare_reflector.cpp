// bare-reflector: the baseline for the simulator's benchmark. Captures EtherCAT frames on one
// interface exactly as the simulator does and sends each straight back with the returned-frame
// mark set, nothing else. Prints 'ready' once capturing; SIGTERM/SIGINT end it.
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <string>
#include <vector>

#include <ecwire/frame.h>

#include "simulator_pcap_port.h"

namespace {
volatile std::sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }
}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3 || std::string(argv[1]) != "--iface") {
        std::fprintf(stderr, "usage: %s --iface IF\n", argv[0]);
        return 2;
    }
    ecsim::SimulatorPcapPort port;
    std::string error;
    if (!port.open(argv[2], error)) {
        std::fprintf(stderr, "bare-reflector: %s\n", error.c_str());
        return 1;
    }
    struct sigaction sa = {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);  // no SA_RESTART: poll() returns on the signal
    sigaction(SIGINT, &sa, nullptr);

    std::vector<uint8_t> reply;
    const ecsim::SimulatorPcapPort::FrameHandler reflect = [&](const uint8_t *d, size_t cap, size_t) {
        if (cap <= ecwire::eth::Source)
            return;
        reply.assign(d, d + cap);
        reply[ecwire::eth::Source] |= ecwire::eth::SourceReturnedBit;
        port.send(reply.data(), reply.size());
    };
    std::printf("ready\n");
    std::fflush(stdout);
    while (!g_stop) {
        pollfd p{port.selectableFd(), POLLIN, 0};
        if (::poll(&p, 1, -1) > 0 && port.dispatch(reflect) < 0) {
            std::fprintf(stderr, "bare-reflector: capture failed: %s\n", port.lastError().c_str());
            return 1;
        }
    }
    return 0;
}
