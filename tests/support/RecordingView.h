#pragma once

#include "session/EngineView.h"

#include <QByteArray>
#include <QList>
#include <deque>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tessaly::test {

// An engine view that records what the user would see and answers questions from a script.
class RecordingView : public EngineView {
public:
    struct LoginAnswer {
        QByteArray userName;
        QByteArray password;
    };

    void AppendLog(const QByteArray& text, LogColour colour) override;
    void SetPaneEnabled(bool enabled) override { paneEnabled = enabled; }
    void SetPaneBusy(bool busy) override { paneBusy = busy; }
    void ClearPane() override { ++paneClears; }
    void SetPath(const QByteArray& newPath) override { path = newPath; }
    void ShowListing(const ListingItems& items) override {
        listings.append(items);
        ++listingCount;
    }
    void ClearTasks() override { ++taskClears; }
    QString WindowTitle() const override { return title; }
    void SetWindowTitle(const QString& newTitle) override { title = newTitle; }
    bool AskLogin(LoginRequest& request) override;
    void ShowServerMessages(const QList<QByteArray>& messages) override { shownMessages.append(messages); }
    void ShowFailedCommands(const std::vector<FailureRecord>& records) override;
    void SessionLoggedIn() override { ++loggedInCount; }
    void SessionIdle() override { ++idleCount; }
    void SessionClosed() override { ++closedCount; }

    // Every log line as the log pane shows it, without its CR LF; a blank separator line is "".
    QList<QByteArray> lines() const;
    // The lines with their prefixes removed, for comparing with the texts of the engine.
    QList<QByteArray> texts() const;
    std::string joined() const; // lines() joined with "\n", for failure messages
    // The colours the log lines were written in, one per line.
    QList<LogColour> colours;

    // Answers to the login question in order; none left means Cancel.
    std::deque<std::optional<LoginAnswer>> loginAnswers;
    // Runs while the login question is open, before it is answered: a test can run the event loop
    // here as the real dialog does.
    std::function<void()> whileAskingLogin;
    QList<LoginRequest> loginRequests;
    QList<QByteArray> shownMessages;
    QList<std::vector<FailureRecord>> failureReports;

    QByteArray path;
    QList<ListingItems> listings;
    int listingCount = 0;
    // The names the last listing showed, directories first.
    QList<QByteArray> shownNames() const;

    QString title = QStringLiteral("Tessaly Client");
    bool paneEnabled = false;
    bool paneBusy = false;
    int paneClears = 0;
    int taskClears = 0;
    int loggedInCount = 0;
    int idleCount = 0;
    int closedCount = 0;

private:
    QByteArray log_;
};

} // namespace tessaly::test

QT_BEGIN_NAMESPACE
// Readable QByteArray values in GoogleTest failure messages.
void PrintTo(const QByteArray& bytes, std::ostream* out);
QT_END_NAMESPACE
