// Termination signals (SIGTERM and SIGHUP of a logout or a `kill`, SIGINT of Ctrl+C) taken as a
// request to end the run, on the event loop: their default action would kill the program before it
// saved its settings and removed its temporary directory.
#pragma once

#include <QObject>

#include <array>
#include <functional>
#include <memory>

#include <signal.h>

class QSocketNotifier;

namespace pcx::ui {

class TerminationSignals : public QObject {
public:
    // From now on, the first of these signals has the event loop call `end` once. The signal's
    // default action comes back at once, so a second one ends a run that does not answer. A signal
    // ignored from the start (nohup) stays ignored.
    explicit TerminationSignals(std::function<void()> end);
    // Gives the signals their former actions back.
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

private:
    void Received();

    std::function<void()> end_;
    int pipe_[2] = {-1, -1}; // read end, write end
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGHUP, SIGINT};
    std::array<struct sigaction, kSignals.size()> former_{};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace pcx::ui
