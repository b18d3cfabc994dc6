// The stop signals. The flag is the one piece of global state: a signal handler has nothing else.
#include "interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdlib>

namespace pcx::cli {

namespace {

std::atomic<int> stopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "touched by a signal handler");

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void Stop(int signal)
{
    stopSignal = signal;
}

} // namespace

void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = Stop;
    sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
}

int StopSignal()
{
    return stopSignal;
}

void StopAsAsked()
{
    const int signal = stopSignal;
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace pcx::cli
