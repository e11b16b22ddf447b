#pragma once

#include "listing/ListingParser.h"
#include "session/FtpSession.h"

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
    // Deletes every row of the transfer task list.
    virtual void ClearTasks() = 0;

    virtual QString WindowTitle() const = 0;
    virtual void SetWindowTitle(const QString& title) = 0;

    // Questions. Each may run a nested event loop; the engine stays correct when events arrive
    // meanwhile. AskLogin returns false when the user cancelled.
    virtual bool AskLogin(LoginRequest& request) = 0;
    // The "Server Information" dialog with one or more messages.
    virtual void ShowServerMessages(const QList<QByteArray>& messages) = 0;
    // The "Information" dialog listing refused commands and their replies.
    virtual void ShowFailedCommands(const std::vector<FailureRecord>& records) = 0;

    // Notifications for front ends that drive the engine themselves.
    virtual void SessionLoggedIn() {}
    virtual void SessionIdle() {}
    virtual void SessionClosed() {}
};

} // namespace tessaly
