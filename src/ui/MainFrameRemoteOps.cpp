// The main window's side of the remote pane's changes on the server: new
// directories, renames, permissions, deletes, and the account's password.
#include "panes/RemoteView.h"
#include "ui/MainFrame.h"
#include "ui/PasswordPromptDialog.h"

namespace tessaly {

void CMainFrame::MakeDirectory(const QByteArray& name) {
    engine_->MakeDirectory(name); // refused unless the session is idle
}

void CMainFrame::RenameRemote(const QByteArray& oldName, const QByteArray& newName) {
    engine_->RenameRemote(oldName, newName);
}

void CMainFrame::ApplyRemoteProperties(const QByteArray& name, const QByteArray& newName, int oldMode,
                                       int newMode) {
    engine_->ApplyRemoteProperties(name, newName, oldMode, newMode);
}

void CMainFrame::DeleteItems(const QList<RemoteItem>& items) {
    engine_->DeleteItems(items);
}

bool CMainFrame::CanChangePassword() const {
    return SessionMayAct() && remote_->IsPaneEnabled();
}

void CMainFrame::OnChangePassword() {
    QByteArray oldPassword;
    QByteArray newPassword;
    if (AskPasswordChange(this, oldPassword, newPassword) && CanChangePassword()) {
        engine_->ChangePassword(oldPassword, newPassword);
    }
}

} // namespace tessaly
