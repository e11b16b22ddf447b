#pragma once

#include <array>
#include <csignal>

namespace tessaly {

// For its life, the terminal on standard input does not echo what is typed (a password); the
// destructor gives the echo back. Input typed before the echo went off is discarded, as it was
// shown. A signal that ends the process meanwhile (Ctrl+C, Ctrl+\, kill, a closed terminal) would
// leave the user's terminal without echo: its handler puts the saved settings back first and then
// lets the signal take its default action. One object at a time; without a terminal it does nothing.
class EchoOff {
public:
    EchoOff();
    ~EchoOff();
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

    // The echo went off: the Enter that ends the line is not echoed either.
    bool active() const { return active_; }

    static constexpr std::array<int, 4> kEndingSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

private:
    bool active_ = false;
    std::array<struct sigaction, kEndingSignals.size()> previous_{};
};

} // namespace tessaly
