#pragma once

#include "session/EngineView.h"

#include <QByteArrayView>
#include <cstdio>
#include <functional>

namespace tessaly {

// Text from a server (names, replies, paths) made harmless for a terminal, so that an escape sequence
// in it cannot retitle, clear or drive the user's terminal. Escaped as \xNN (two upper-case hex
// digits): the C0 controls (TAB, CR and LF too), DEL, and the C1 controls, that is a byte 0x80-0x9F
// that is not part of valid UTF-8 and the UTF-8 form of U+0080-U+009F (as its two bytes). A
// backslash becomes \\, so the escaped text reads back unambiguously. Everything else, valid UTF-8
// and the bytes from 0xA0 up, stays as it is.
void AppendEscapedForTerminal(QByteArray& out, QByteArrayView text);
QByteArray EscapeForTerminal(QByteArrayView text);

// The engine's view on a terminal: every log line goes to the error stream as the log pane would show
// it; the login question is asked on the terminal when standard input is one and cancelled
// otherwise; the failed-commands report is printed. When the error stream is a terminal, what the
// server sent is escaped in all of that (EscapeForTerminal); otherwise it is written as it came.
class TerminalView : public EngineView {
public:
    explicit TerminalView(bool errorsOnTerminal, std::FILE* errors = stderr);

    void AppendLog(const QByteArray& text, LogColour colour) override;
    void SetPaneEnabled(bool) override {}
    void SetPaneBusy(bool) override {}
    void ClearPane() override {}
    void SetPath(const QByteArray&) override {}
    void ShowListing(const ListingItems&) override {}
    void AddTaskRow(const TransferTask&, bool) override {}
    void RemoveTaskRow(int) override {}
    void ClearTasks() override {}
    void SetTaskCell(int, TaskColumn, const QString&) override {}
    void ShowTaskProgress(int, qint64, qint64) override {}
    void SetTaskProgress(int, qint64) override {}
    void SetTaskRedraw(bool) override {}
    void SetTransferStatus(const QString&, const QString&) override {}
    void SetWaitCursor(bool) override {}
    void RefreshLocalPane() override {}
    void OpenFetchedFile(const QString&, FetchedFileAction) override {}
    // Without a way to ask, a conflict cancels the job, so nothing is overwritten by surprise.
    ConflictAnswer AskConflict(const ConflictQuestion&) override { return {}; }
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

private:
    void Write(const QByteArray& bytes) const;
    // `text` as it may go to the error stream: escaped on a terminal, as it is otherwise.
    void AppendShown(QByteArray& out, QByteArrayView text) const;

    std::FILE* errors_;
    bool errorsOnTerminal_;
    QString title_ = QStringLiteral("Tessaly Client");
    bool loggedIn_ = false;
    bool reportedFailures_ = false;
};

} // namespace tessaly
