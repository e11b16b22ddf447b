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
    void AddTaskRow(const TransferTask& task, bool append) override;
    void RemoveTaskRow(int row) override;
    void ClearTasks() override {
        ++taskClears;
        taskRows.clear();
    }
    void SetTaskCell(int row, TaskColumn column, const QString& text) override;
    void ShowTaskProgress(int row, qint64 total, qint64 position) override;
    void SetTaskProgress(int row, qint64 position) override;
    void SetTaskRedraw(bool enabled) override { taskRedraw = enabled; }
    void SetTransferStatus(const QString& speed, const QString& timeLeft) override {
        speedText = speed;
        timeLeftText = timeLeft;
    }
    void SetWaitCursor(bool waiting) override { waitCursor = waiting; }
    void RefreshLocalPane() override { ++localRefreshes; }
    void OpenFetchedFile(const QString& path, FetchedFileAction action) override {
        openedFiles.append({path, action});
    }
    QString WindowTitle() const override { return title; }
    void SetWindowTitle(const QString& newTitle) override { title = newTitle; }
    bool AskLogin(LoginRequest& request) override;
    void ShowServerMessages(const QList<QByteArray>& messages) override { shownMessages.append(messages); }
    void ShowFailedCommands(const std::vector<FailureRecord>& records) override;
    ConflictAnswer AskConflict(const ConflictQuestion& question) override;
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
    // Every text of every failed-commands report shown, in order, joined by "|".
    QByteArray reportedTexts() const {
        QList<QByteArray> texts;
        for (const std::vector<FailureRecord>& report : failureReports) {
            for (const FailureRecord& record : report) {
                texts.append(record.text);
            }
        }
        return texts.join('|');
    }

    QByteArray path;
    QList<ListingItems> listings;
    int listingCount = 0;
    // The names the last listing showed, directories first.
    QList<QByteArray> shownNames() const;

    // The task list as rows of cell texts, each with its task and progress.
    struct TaskRow {
        const TransferTask* task = nullptr;
        QString cells[6];
        bool progressShown = false;
        qint64 progressTotal = 0;
        qint64 progress = 0;
    };
    QList<TaskRow> taskRows;
    bool taskRedraw = true;
    QString speedText;
    QString timeLeftText;
    bool waitCursor = false;
    int localRefreshes = 0;
    QList<std::pair<QString, FetchedFileAction>> openedFiles;
    // Answers to the conflict question in order; none left means Cancel. whileAskingConflict runs
    // while it is open.
    std::deque<ConflictAnswer> conflictAnswers;
    QList<ConflictQuestion> conflictQuestions;
    std::function<void()> whileAskingConflict;

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
