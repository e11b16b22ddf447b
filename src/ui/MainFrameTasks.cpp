// The main window's side of transfers: the task list pane, the status bar's speed and time-left
// panes, the wait cursor, the local pane's refresh and opening fetched files.
#include "panes/LocalView.h"
#include "transfer/ui/TaskListCtrl.h"
#include "ui/MainFrame.h"

#include <QLabel>

namespace tessaly {

using namespace Qt::StringLiterals;

CTaskListCtrl* CMainFrame::CreateTaskList(QWidget* parent) {
    taskList_ = new CTaskListCtrl(parent);
    taskList_->setObjectName(u"TaskPane"_s);
    // "&Abort" and "&Disconnect" are the main window's own commands, enabled as they are there.
    taskList_->SetCommandHandlers([this](int id) { return IsCommandEnabled(id); },
                                  [this](int id) { RunCommand(id); });
    // With the task list active the file-pane commands have no pane to go to.
    connect(taskList_, &CTaskListCtrl::focusGained, this, [this] { activePane_ = ActivePane::None; });
    return taskList_;
}

int CMainFrame::TaskCount() const {
    return taskList_->Model().rowCount();
}

void CMainFrame::AddTaskRow(const TransferTask& task, bool append) {
    taskList_->Model().AddTask(task, append);
}

void CMainFrame::RemoveTaskRow(int row) {
    taskList_->Model().RemoveTask(row);
}

void CMainFrame::ClearTasks() {
    taskList_->Model().Clear();
}

void CMainFrame::SetTaskCell(int row, TaskColumn column, const QString& text) {
    taskList_->Model().SetCell(row, column, text);
}

void CMainFrame::ShowTaskProgress(int row, qint64 total, qint64 position) {
    taskList_->Model().ShowProgress(row, total, position);
}

void CMainFrame::SetTaskProgress(int row, qint64 position) {
    taskList_->Model().SetProgress(row, position);
}

void CMainFrame::SetTaskRedraw(bool enabled) {
    taskList_->SetRedraw(enabled);
}

void CMainFrame::SetTransferStatus(const QString& speed, const QString& timeLeft) {
    statusLeft_->setText(speed);
    statusRight_->setText(timeLeft);
}

void CMainFrame::UpdateTransferStatusPanes() {
    const FtpSession* session = engine_->Session();
    if (session == nullptr) {
        return;
    }
    if (session->jobRunning) {
        statusLeft_->setEnabled(true);
        statusRight_->setEnabled(true);
        return;
    }
    statusLeft_->clear();
    statusRight_->clear();
}

void CMainFrame::SetWaitCursor(bool waiting) {
    waitCursor_.Set(waiting);
}

void CMainFrame::RefreshLocalPane() {
    local_->Refresh();
}

void CMainFrame::OpenFetchedFile(const QString& path, FetchedFileAction action) {
    if (action == FetchedFileAction::View) {
        local_->ViewPath(path);
    } else {
        local_->RunPath(path);
    }
}

bool CMainFrame::CanReceiveDownloads() const {
    return local_->ShowsRealDirectory();
}

void CMainFrame::DownloadPath(const QByteArray& path) {
    if (CanReceiveDownloads()) {
        engine_->DownloadByPath(path, local_->Directory());
    }
}

void CMainFrame::ViewOrRunItem(const RemoteItem& file, bool run) {
    engine_->ViewOrRun(file, run ? FetchedFileAction::Run : FetchedFileAction::View);
}

void CMainFrame::DownloadItems(const QList<RemoteItem>& items) {
    if (CanReceiveDownloads()) {
        engine_->DownloadItems(items, local_->Directory());
    }
}

void CMainFrame::UploadPaths(const QStringList& localPaths) {
    engine_->UploadPaths(localPaths); // refused unless the session is idle
}

} // namespace tessaly
