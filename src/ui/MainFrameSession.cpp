// The main window's commands that end or restart the session's work: Disconnect, Abort and
// Reconnect.
#include "panes/RemoteView.h"
#include "settings/SettingKeys.h"
#include "ui/MainFrame.h"
#include "ui/MessageBoxes.h"

namespace tessaly {

bool CMainFrame::CanDisconnect() const {
    const FtpSession* session = engine_->Session();
    return session != nullptr && engine_->HasControlConnection() && session->loggedIn &&
           remote_->IsPaneEnabled();
}

void CMainFrame::OnDisconnect() {
    if (settings_.Number(setting::kPromptOnDisconnectsion) != 0 &&
        !AskYesNo(this,
                  tr("If you disconnect the current connection, all active task will be aborted; are you "
                     "sure want to disconnect now?"))) {
        return;
    }
    if (CanDisconnect()) { // the session may have ended while the question was open
        engine_->Disconnect();
    }
}

bool CMainFrame::CanAbort() const {
    if (!engine_->HasControlConnection()) {
        return false;
    }
    const FtpCommand* command = engine_->CurrentCommand();
    const FtpSession* session = engine_->Session();
    return (command == nullptr && session != nullptr && !session->loggedIn) ||
           (command != nullptr && command->sent);
}

void CMainFrame::OnAbort() {
    if (settings_.Number(setting::kPromptOnAbortFtpCommand) != 0 &&
        !AskYesNo(this, tr("Are you sure want to abort current conmands?"))) {
        return;
    }
    if (CanAbort()) {
        engine_->AbortCommand();
    }
}

bool CMainFrame::CanReconnect() const {
    return engine_->LastSession() != nullptr || lastSite_ != 0;
}

void CMainFrame::OnReconnect() {
    if (lastSite_ != 0) {
        // The saved site of the last login, by its own command once this one has returned; while it is
        // still the current saved site that does nothing.
        QMetaObject::invokeMethod(
            this, [this, id = lastSite_] { RunCommand(id); }, Qt::QueuedConnection);
    } else if (CanReconnect()) {
        engine_->Reconnect();
    }
}

} // namespace tessaly
