#include "app/cli/InterruptSignals.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tessaly {

namespace {

// The pipe's writing end, for the handler; -1 while no object lives.
volatile sig_atomic_t gWriteEnd = -1;

void WriteSignalNumber(int signal) {
    // Only async-signal-safe calls here: errno is kept for the code the signal interrupted.
    const int savedErrno = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(gWriteEnd, &number, 1);
    errno = savedErrno;
}

// Installs `handler` for each signal, keeping what was there before in `previous`; a signal that is
// ignored stays so.
template <std::size_t N>
void Install(const std::array<int, N>& kinds, void (*handler)(int), std::array<struct sigaction, N>& previous,
             std::array<bool, N>& installed) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // The event loop's wait ends with a signal all the same; other system calls resume after it.
    action.sa_flags = SA_RESTART;
    for (std::size_t k = 0; k < N; ++k) {
        ::sigaction(kinds[k], nullptr, &previous[k]);
        if (previous[k].sa_handler != SIG_IGN) {
            installed[k] = ::sigaction(kinds[k], &action, nullptr) == 0;
        }
    }
}

template <std::size_t N>
void Restore(const std::array<int, N>& kinds, const std::array<struct sigaction, N>& previous,
             const std::array<bool, N>& installed) {
    for (std::size_t k = 0; k < N; ++k) {
        if (installed[k]) {
            ::sigaction(kinds[k], &previous[k], nullptr);
        }
    }
}

} // namespace

InterruptSignals::InterruptSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
    // Both ends non-blocking: a full pipe drops a signal rather than stopping the handler, and a
    // read finds the end of what has come.
    if (::pipe2(pipe_.data(), O_NONBLOCK | O_CLOEXEC) != 0) {
        pipe_ = {-1, -1};
        return;
    }
    gWriteEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { DeliverPending(); });
    Install(kSignals, WriteSignalNumber, previous_, installed_);
}

InterruptSignals::~InterruptSignals() {
    Restore(kSignals, previous_, installed_);
    notifier_.reset();
    gWriteEnd = -1;
    for (const int fd : pipe_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void InterruptSignals::DeliverPending() {
    if (pipe_[0] < 0) {
        return;
    }
    unsigned char numbers[16];
    for (;;) {
        const ssize_t got = ::read(pipe_[0], numbers, sizeof numbers);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return;
        }
        for (ssize_t i = 0; i < got; ++i) {
            onSignal_(numbers[i]);
        }
    }
}

DefaultInterruptActions::DefaultInterruptActions() {
    Install(InterruptSignals::kSignals, SIG_DFL, previous_, installed_);
}

DefaultInterruptActions::~DefaultInterruptActions() {
    Restore(InterruptSignals::kSignals, previous_, installed_);
}

} // namespace tessaly
