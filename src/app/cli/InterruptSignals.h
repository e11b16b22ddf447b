#pragma once

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

namespace tessaly {

// SIGINT and SIGTERM delivered on the event loop: the handler does nothing but write the signal's
// number into a pipe, whose reading end a QSocketNotifier watches. Interrupted system calls resume. While an
// object lives, its handlers stand for both signals (a signal the process was told to ignore stays ignored);
// the destructor puts the earlier handlers back. One object at a time. When no pipe can be made, the
// signals keep their default action.
class InterruptSignals {
public:
    explicit InterruptSignals(std::function<void(int)> onSignal);
    ~InterruptSignals();
    InterruptSignals(const InterruptSignals&) = delete;
    InterruptSignals& operator=(const InterruptSignals&) = delete;

    // Hands every signal that has come and not been handled yet to onSignal, at once.
    void DeliverPending();

    static constexpr std::array<int, 2> kSignals = {SIGINT, SIGTERM};

private:
    std::function<void(int)> onSignal_;
    std::array<int, 2> pipe_ = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
    std::array<struct sigaction, kSignals.size()> previous_{};
    std::array<bool, kSignals.size()> installed_{};
};

// For its life, SIGINT and SIGTERM take their default action and end the process (one the process
// was told to ignore stays ignored); the destructor puts the earlier handlers back. For a blocking
// read of the terminal, which the C++ library resumes after a handler has run: under
// InterruptSignals alone, Ctrl+C at a question would wait for Enter.
class DefaultInterruptActions {
public:
    DefaultInterruptActions();
    ~DefaultInterruptActions();
    DefaultInterruptActions(const DefaultInterruptActions&) = delete;
    DefaultInterruptActions& operator=(const DefaultInterruptActions&) = delete;

private:
    std::array<struct sigaction, InterruptSignals::kSignals.size()> previous_{};
    std::array<bool, InterruptSignals::kSignals.size()> installed_{};
};

} // namespace tessaly
