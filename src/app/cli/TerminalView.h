#pragma once

#include "session/EngineView.h"

#include <QByteArrayView>
#include <QElapsedTimer>
#include <QList>
#include <cstdio>
#include <functional>
#include <optional>

namespace tessaly {

// Text from a server (names, replies, paths) made harmless for a terminal, so that an escape sequence
// in it cannot retitle, clear or drive the user's terminal. Escaped as \xNN (two upper-case hex
// digits): the C0 controls (TAB, CR and LF too), DEL, and the C1 controls, that is a byte 0x80-0x9F
// that is not part of valid UTF-8 and the UTF-8 form of U+0080-U+009F (as its two bytes). A
// backslash becomes \\, so the escaped text reads back unambiguously. Everything else, valid UTF-8
// and the bytes from 0xA0 up, stays as it is.
void AppendEscapedForTerminal(QByteArray& out, QByteArrayView text);
QByteArray EscapeForTerminal(QByteArrayView text);

// Writes to standard output after what waits in the buffer of standard error, so that the two keep
// their order when they go to one place.
void WriteOutput(QByteArrayView bytes);

// The engine's view on a terminal: every log line goes to the error stream as the log pane would show
// it; the login question is asked on the terminal when standard input is one and cancelled
// otherwise; the failed-commands report is printed. When the error stream is a terminal, what the
// server sent is escaped in all of that (EscapeForTerminal); otherwise it is written as it came.
//
// A file whose target exists is answered by the --on-conflict action, saying so on the error
// stream. While a file moves, a terminal on the error stream shows one line of progress (name, bytes,
// percentage, speed, time left), redrawn in place at most every kProgressIntervalMs and ended with a
// line break when the task's row goes; a pipe or file gets none of it.
class TerminalView : public EngineView {
public:
    static constexpr qint64 kProgressIntervalMs = 250;

    explicit TerminalView(bool errorsOnTerminal, std::FILE* errors = stderr);
    TerminalView(const TerminalView&) = delete;
    TerminalView& operator=(const TerminalView&) = delete;

    // The answer to every conflict: a choice, or none to cancel the job (the default).
    void SetConflictAction(std::optional<ConflictChoice> action) { conflictAction_ = action; }

    void AppendLog(const QByteArray& text, LogColour colour) override;
    void SetPaneEnabled(bool) override {}
    void SetPaneBusy(bool) override {}
    void ClearPane() override {}
    void SetPath(const QByteArray&) override {}
    void ShowListing(const ListingItems&) override {}
    void AddTaskRow(const TransferTask& task, bool append) override;
    void RemoveTaskRow(int row) override;
    void ClearTasks() override;
    void SetTaskCell(int, TaskColumn, const QString&) override {}
    void ShowTaskProgress(int row, qint64 total, qint64 position) override;
    void SetTaskProgress(int row, qint64 position) override;
    void SetTaskRedraw(bool) override {}
    void SetTransferStatus(const QString&, const QString&) override;
    void SetWaitCursor(bool) override {}
    void RefreshLocalPane() override {}
    void OpenFetchedFile(const QString&, FetchedFileAction) override {}
    // Answers with the --on-conflict action. Without one the job is cancelled, so a script never
    // overwrites by surprise, and the error stream says why and how to choose otherwise. "resume" for a
    // file that cannot be resumed overwrites it. Nothing is remembered: each file is judged by itself.
    ConflictAnswer AskConflict(const ConflictQuestion& question) override;
    QString WindowTitle() const override { return title_; }
    void SetWindowTitle(const QString& title) override { title_ = title; }
    bool AskLogin(LoginRequest& request) override;
    void ShowServerMessages(const QList<QByteArray>&) override {} // already in the log
    void ShowFailedCommands(const std::vector<FailureRecord>& records) override;
    void SessionLoggedIn() override;
    void SessionIdle() override;
    void SessionClosed() override;

    bool loggedIn() const { return loggedIn_; }
    bool reportedFailures() const { return reportedFailures_; }

    std::function<void()> onIdle;
    std::function<void()> onClosed;
    // Milliseconds on a monotonic clock: the progress line's pace and speed.
    std::function<qint64()> clockMs;

private:
    void Write(const QByteArray& bytes) const;
    // Writes a message above the progress line, which is drawn again below it.
    void WriteMessage(const QByteArray& bytes);
    void DrawProgress(bool force);
    // The transfer of row 0 has ended: its line is drawn a last time and ended.
    void EndProgress();
    // `text` as it may go to the error stream: escaped on a terminal, as it is otherwise.
    void AppendShown(QByteArray& out, QByteArrayView text) const;

    std::FILE* errors_;
    bool errorsOnTerminal_;
    QString title_ = QStringLiteral("Tessaly Client");
    bool loggedIn_ = false;
    bool reportedFailures_ = false;
    std::optional<ConflictChoice> conflictAction_;

    QList<const TransferTask*> rows_; // the task list, row 0 first; the engine owns the tasks
    QElapsedTimer clock_;
    bool progressRunning_ = false; // row 0 moves and its line stands on the terminal
    qint64 progressTotal_ = 0;
    qint64 progressStart_ = 0; // the position the transfer started from
    qint64 progressPosition_ = 0;
    qint64 progressStartMs_ = 0;
    qint64 lastDrawMs_ = 0;
    QByteArray progressLine_;       // as last drawn
    qsizetype progressColumns_ = 0; // its width on the terminal
};

} // namespace tessaly
