#include "app/cli/EchoOff.h"

#include <termios.h>
#include <unistd.h>

namespace tessaly {

namespace {

termios gSavedTerminal{};
volatile sig_atomic_t gRestoreOnSignal = 0;

void RestoreTerminalAndReraise(int signal) {
    // Only async-signal-safe calls here.
    if (gRestoreOnSignal != 0) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
        const char newline = '\n';
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, &newline, 1);
    }
    // SA_RESETHAND has put the default action back and SA_NODEFER leaves the signal unblocked, so
    // this ends the process as the signal would have without the handler.
    ::raise(signal);
}

} // namespace

EchoOff::EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &gSavedTerminal) != 0) {
        return;
    }
    active_ = true;
    gRestoreOnSignal = 1;
    struct sigaction action {};
    action.sa_handler = RestoreTerminalAndReraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    for (std::size_t k = 0; k < kEndingSignals.size(); ++k) {
        ::sigaction(kEndingSignals[k], nullptr, &previous_[k]);
        // A signal the process was told to ignore (nohup, a background job) stays ignored.
        if (previous_[k].sa_handler != SIG_IGN) {
            ::sigaction(kEndingSignals[k], &action, nullptr);
        }
    }
    termios quiet = gSavedTerminal;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
}

EchoOff::~EchoOff() {
    if (!active_) {
        return;
    }
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSavedTerminal);
    for (std::size_t k = 0; k < kEndingSignals.size(); ++k) {
        ::sigaction(kEndingSignals[k], &previous_[k], nullptr);
    }
    gRestoreOnSignal = 0;
}

} // namespace tessaly
