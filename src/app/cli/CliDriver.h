#pragma once

#include "app/cli/CliOptions.h"
#include "app/cli/TerminalView.h"
#include "session/SessionEngine.h"

#include <QObject>
#include <QTimer>

namespace tessaly {

// Runs tessaly-cli's commands one after the other, each once the engine is idle, then disconnects;
// tells the exit status when the session has ended. What `ls` and `pwd` print goes to standard
// output: byte for byte as the server sent it, or escaped (EscapeForTerminal) when `outputOnTerminal`.
class CliDriver {
public:
    CliDriver(SessionEngine& engine, TerminalView& view, QList<CliCommand> commands, bool outputOnTerminal);

    // Called when the session has ended: 0 logged in and every command succeeded, 1 logged in but
    // something failed, 2 the session ended before or during login; 128 + the signal's number after
    // Interrupt.
    int ExitStatus() const;

    // Ctrl+C or SIGTERM: no further command runs; what runs is aborted as the Abort command does it
    // (ABOR for a transfer at the server, the partial file kept), and the session is closed once the
    // engine is idle again. A second call while that is still waiting closes the session at once.
    void Interrupt(int signal);

private:
    void OnIdle();
    void RunNext();
    void PrintListing() const;
    // Starts a download; false when nothing started (the next command runs at once).
    bool Get(const CliCommand& command);
    // mkdir, rename, chmod, rm and passwd; false when nothing started.
    bool RunRemoteOperation(const CliCommand& command);

    SessionEngine& engine_;
    TerminalView& view_;
    QList<CliCommand> commands_;
    qsizetype next_ = 0;
    bool outputOnTerminal_;
    bool disconnecting_ = false;
    bool transferFailed_ = false;
    int interruptSignal_ = 0;
    QTimer idleTimer_; // runs while `idle` waits
    QObject context_;
};

} // namespace tessaly
