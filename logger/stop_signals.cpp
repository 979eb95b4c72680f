#include "stop_signals.h"

#include <csignal>

namespace logger::stop_signals {

namespace {

volatile std::sig_atomic_t stopSignal = 0;
volatile std::sig_atomic_t newRunAsked = 0;

void onSignal(int signalNumber)
{
#ifdef SIGHUP
    if (signalNumber == SIGHUP) {
        newRunAsked = 1;
        return;
    }
#endif
    stopSignal = signalNumber;
#ifdef _WIN32
    // The C runtime resets a handler to the default before calling it.
    std::signal(signalNumber, onSignal);
#endif
}

} // namespace

void install()
{
#ifdef _WIN32
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGBREAK, onSignal);
#else
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
    // A reader of the status lines that goes away (a closed pipe) must not
    // end the logging: the lines are dropped instead.
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

int takeStop()
{
    const int signalNumber = stopSignal;
    stopSignal = 0;
    return signalNumber;
}

bool takeNewRun()
{
    const bool asked = newRunAsked != 0;
    newRunAsked = 0;
    return asked;
}

const char *name(int signalNumber)
{
    switch (signalNumber) {
    case SIGTERM: return "SIGTERM";
    case SIGINT: return "SIGINT";
#ifdef SIGHUP
    case SIGHUP: return "SIGHUP";
#endif
#ifdef SIGBREAK
    case SIGBREAK: return "SIGBREAK";
#endif
    default: return "a signal";
    }
}

} // namespace logger::stop_signals
