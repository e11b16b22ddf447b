#pragma once

#include "listing/ListingParser.h"
#include "session/FtpSession.h"
#include "transfer/ConflictQuestion.h"
#include "transfer/TransferTask.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>
#include <vector>

namespace tessaly {

// The four kinds of log line.
enum class LogKind { Command = 1, Status = 2, Error = 3, Reply = 4 };

struct LogColour {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    friend bool operator==(const LogColour&, const LogColour&) = default;
};

// What the "Login" dialog asks for and gives back.
struct LoginRequest {
    QByteArray host;     // shown, read-only
    QByteArray userName; // filled from the session
    QByteArray password; // starts empty
    bool savePassword = false;
    bool noSavedSite = true; // "&Save Password" is disabled and forced off
};

// What the engine does with a file it has fetched for the user.
enum class FetchedFileAction { View = 0, Run = 1 };

// The one way the session engine reaches the user interface. The desktop program implements it with
// widgets, tessaly-cli on the terminal, the tests with a recorder.
class EngineView {
public:
    virtual ~EngineView() = default;

    // Appends text to the log as it is, in the colour; the engine passes whole lines with CR LF.
    virtual void AppendLog(const QByteArray& text, LogColour colour) = 0;

    // The remote pane.
    virtual void SetPaneEnabled(bool enabled) = 0;
    virtual void SetPaneBusy(bool busy) = 0;
    virtual void ClearPane() = 0;
    // The remote directory the pane shows, and its items (directories first, each in listing order).
    virtual void SetPath(const QByteArray& path) = 0;
    virtual void ShowListing(const ListingItems& items) = 0;
    // The transfer task list. Row 0 is the task that runs now; each row refers to its task, which
    // the engine owns and keeps until the row is removed.
    // Adds a row for the task at the end (append) or at the top.
    virtual void AddTaskRow(const TransferTask& task, bool append) = 0;
    // Removes one row (only row 0 is ever removed alone).
    virtual void RemoveTaskRow(int row) = 0;
    // Deletes every row of the transfer task list.
    virtual void ClearTasks() = 0;
    virtual void SetTaskCell(int row, TaskColumn column, const QString& text) = 0;
    // The row's progress bar appears, spanning 0 to total and standing at position.
    virtual void ShowTaskProgress(int row, qint64 total, qint64 position) = 0;
    // Moves the row's bar and its "Transfering" count. Called after every chunk a pump moves: it
    // must cost little, and the view repaints at a pace of its own.
    virtual void SetTaskProgress(int row, qint64 position) = 0;
    // Stops and resumes redrawing the list while many rows change at once.
    virtual void SetTaskRedraw(bool enabled) = 0;
    // The status bar's speed and time-left panes.
    virtual void SetTransferStatus(const QString& speed, const QString& timeLeft) = 0;
    virtual void SetWaitCursor(bool waiting) = 0;
    // The local pane shows its directory again (after files arrived in it).
    virtual void RefreshLocalPane() = 0;
    // Opens a file fetched for View (in the viewer) or Run (with its handler).
    virtual void OpenFetchedFile(const QString& path, FetchedFileAction action) = 0;

    virtual QString WindowTitle() const = 0;
    virtual void SetWindowTitle(const QString& title) = 0;

    // Questions. Each may run a nested event loop; the engine stays correct when events arrive
    // meanwhile. AskLogin returns false when the user cancelled.
    virtual bool AskLogin(LoginRequest& request) = 0;
    // The "Server Information" dialog with one or more messages.
    virtual void ShowServerMessages(const QList<QByteArray>& messages) = 0;
    // The "Information" dialog listing refused commands and their replies.
    virtual void ShowFailedCommands(const std::vector<FailureRecord>& records) = 0;
    // The "File Confirmation" question about a file whose target exists.
    virtual ConflictAnswer AskConflict(const ConflictQuestion& question) = 0;

    // Notifications for front ends that drive the engine themselves.
    virtual void SessionLoggedIn() {}
    virtual void SessionIdle() {}
    virtual void SessionClosed() {}
};

} // namespace tessaly
