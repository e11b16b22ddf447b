#pragma once

#include "session/EngineView.h"

#include <functional>

namespace tessaly {

// The engine's view on a terminal: every log line goes to standard error as the log pane would show
// it; the login question is asked on the terminal when standard input is one and cancelled
// otherwise; the failed-commands report is printed.
class TerminalView : public EngineView {
public:
    void AppendLog(const QByteArray& text, LogColour colour) override;
    void SetPaneEnabled(bool) override {}
    void SetPaneBusy(bool) override {}
    void ClearPane() override {}
    void SetPath(const QByteArray&) override {}
    void ShowListing(const ListingItems&) override {}
    void ClearTasks() override {}
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
    QString title_ = QStringLiteral("Tessaly Client");
    bool loggedIn_ = false;
    bool reportedFailures_ = false;
};

} // namespace tessaly
