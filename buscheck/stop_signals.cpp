#include "stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace buscheck {

namespace {

volatile std::sig_atomic_t stopSignal = 0;
int wakeFds[2] = {-1, -1};

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    stopSignal = signalNumber;
    static const char note[] = "pressure-bus-check: stopping: the bus is brought down first\n";
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, note, sizeof note - 1);
    const char byte = char(signalNumber);
    n = ::write(wakeFds[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

StopSignals::StopSignals()
{
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) == 0) {
        notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            char buf[16];
            while (::read(wakeFds[0], buf, sizeof buf) > 0) {
            }
            if (stopSignal)
                emit stopRequested(stopSignal);
        });
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kStopSignals)
        ::sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals()
{
    for (int s : kStopSignals)
        std::signal(s, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
    for (int &fd : wakeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

int StopSignals::received() const
{
    return stopSignal;
}

const char *StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
    }
}

} // namespace buscheck
