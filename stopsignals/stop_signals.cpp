#include "stop_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t newRunAsked = 0;
bool hangupStartsNewRun = false;
const char *stopNote = nullptr;
size_t stopNoteLength = 0;

#ifdef _WIN32
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGBREAK};
#else
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
int wakeFds[2] = {-1, -1};
#endif

void onSignal(int signalNumber)
{
#ifdef _WIN32
    // The C runtime resets a handler to the default before calling it.
    std::signal(signalNumber, onSignal);
    stopSignal = signalNumber;
#else
    const int savedErrno = errno;
    if (signalNumber == SIGHUP && hangupStartsNewRun) {
        newRunAsked = 1;
    } else {
        stopSignal = signalNumber;
        [[maybe_unused]] ssize_t n = 0;
        if (stopNote)
            n = ::write(STDERR_FILENO, stopNote, stopNoteLength);
        const char byte = char(signalNumber);
        if (wakeFds[1] >= 0)
            n = ::write(wakeFds[1], &byte, 1);
    }
    errno = savedErrno;
#endif
}

} // namespace

StopSignals::StopSignals(Hangup hangup, const char *note)
{
    hangupStartsNewRun = hangup == Hangup::StartsNewRun;
    stopNote = note;
    stopNoteLength = note ? std::strlen(note) : 0;
#ifdef _WIN32
    for (int s : kSignals)
        std::signal(s, onSignal);
#else
    if (::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        wakeFds[0] = wakeFds[1] = -1;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

StopSignals::~StopSignals()
{
    for (int s : kSignals)
        std::signal(s, SIG_DFL);
    delete notifier_;
    notifier_ = nullptr;
#ifndef _WIN32
    for (int &fd : wakeFds) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

void StopSignals::wakeEventLoop()
{
#ifndef _WIN32
    if (notifier_ || wakeFds[0] < 0)
        return;
    notifier_ = new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (::read(wakeFds[0], buf, sizeof buf) > 0) {
        }
        if (stopSignal)
            emit stopRequested(stopSignal);
    });
#endif
}

int StopSignals::received() const
{
    return stopSignal;
}

int StopSignals::takeStop()
{
    const int signalNumber = stopSignal;
    stopSignal = 0;
    return signalNumber;
}

bool StopSignals::takeNewRun()
{
    const bool asked = newRunAsked != 0;
    newRunAsked = 0;
    return asked;
}

const char *StopSignals::name(int signalNumber)
{
    switch (signalNumber) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
#ifdef SIGHUP
    case SIGHUP: return "SIGHUP";
#endif
#ifdef SIGBREAK
    case SIGBREAK: return "SIGBREAK";
#endif
    default: return "a signal";
    }
}
