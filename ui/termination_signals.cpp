// A signal handler may do almost nothing safely: it writes a byte to a pipe, and a socket notifier
// hands the request to the event loop.
#include "termination_signals.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace pcx::ui {

namespace {

// A handler is a plain function, so the pipe it writes to can only be a global; it is set before
// the handlers are installed and cleared after they are gone.
std::atomic<int> writeEnd{-1};

extern "C" void OnTerminationSignal(int number)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a request, so a failed write loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &byte, 1);
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(std::function<void()> end) : end_(std::move(end))
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("pcxconv: the termination signals keep their default action");
        return;
    }
    writeEnd.store(pipe_[1]);
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Received);

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        ::sigaction(kSignals[i], nullptr, &former_[i]);
        if (former_[i].sa_handler != SIG_IGN)
            ::sigaction(kSignals[i], &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals()
{
    if (pipe_[0] < 0)
        return;
    for (std::size_t i = 0; i < kSignals.size(); ++i)
        ::sigaction(kSignals[i], &former_[i], nullptr);
    writeEnd.store(-1);
    notifier_.reset();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TerminationSignals::Received()
{
    std::array<unsigned char, 16> bytes{};
    while (::read(pipe_[0], bytes.data(), bytes.size()) > 0) {
    }
    notifier_->setEnabled(false);
    end_();
}

} // namespace pcx::ui
