// Remote operations that move no file: a new directory, a rename, permissions, the password, and
// the recursive delete job (each directory listed, its contents deleted in listing order, then the
// directory itself with CDUP and RMD).
#include "session/DeleteJob.h"
#include "session/DownloadJob.h"
#include "session/JobWalk.h"
#include "session/RemotePath.h"
#include "session/SessionEngine.h"

namespace tessaly {

namespace {

// Directories nested deeper than this inside one delete job are not entered.
constexpr int kMaxDeleteDepth = 100;

} // namespace

bool SessionEngine::MayStartOperation() const {
    // Only on a quiet session: an operation never joins or replaces a sequence in flight (a
    // keep-alive command, say).
    return session_ && control_ && IsIdle() && !currentSequence_ && !session_->jobRunning;
}

bool SessionEngine::SendOperation(const QList<QByteArray>& commands, RefreshAfter refresh) {
    if (!MayStartOperation() || commands.isEmpty()) {
        return false;
    }
    currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
    for (const QByteArray& command : commands) {
        currentSequence_->Append(command).noRefresh = refresh == RefreshAfter::No;
    }
    SendNextOfCurrentSequence();
    return true;
}

bool SessionEngine::MakeDirectory(const QByteArray& name) {
    if (DeferBehindKeepAlive([this, name] { return MakeDirectory(name); })) {
        return true;
    }
    return !name.isEmpty() && SendOperation({"MKD " + name});
}

bool SessionEngine::RenameRemote(const QByteArray& oldName, const QByteArray& newName) {
    if (DeferBehindKeepAlive([this, oldName, newName] { return RenameRemote(oldName, newName); })) {
        return true;
    }
    return !oldName.isEmpty() && !newName.isEmpty() && oldName != newName &&
           SendOperation({"RNFR " + oldName, "RNTO " + newName});
}

bool SessionEngine::ApplyRemoteProperties(const QByteArray& name, const QByteArray& newName, int oldMode,
                                          int newMode) {
    if (DeferBehindKeepAlive([this, name, newName, oldMode, newMode] {
            return ApplyRemoteProperties(name, newName, oldMode, newMode);
        })) {
        return true;
    }
    QList<QByteArray> commands;
    const bool rename = !newName.isEmpty() && newName != name;
    if (rename) {
        commands = {"RNFR " + name, "RNTO " + newName};
    }
    const bool chmod = newMode >= 0 && newMode <= 0777 && newMode != oldMode;
    if (chmod) {
        commands.append("SITE CHMOD " + QByteArray::number(newMode, 8).rightJustified(3, '0') + ' ' +
                        (rename ? newName : name));
    }
    if (!SendOperation(commands)) {
        return false;
    }
    if (rename && chmod) {
        // A refused rename takes the chmod with it: another file may have the new name.
        if (FtpCommand* last = currentSequence_ ? currentSequence_->Tail() : nullptr) {
            last->followsRename = true;
        }
    }
    return true;
}

bool SessionEngine::ChangePassword(const QByteArray& oldPassword, const QByteArray& newPassword) {
    if (DeferBehindKeepAlive(
            [this, oldPassword, newPassword] { return ChangePassword(oldPassword, newPassword); })) {
        return true;
    }
    if (newPassword.isEmpty() ||
        !SendOperation({"SITE PSWD \"" + oldPassword + "\" \"" + newPassword + '"'}, RefreshAfter::No)) {
        return false;
    }
    session_->pendingPassword = newPassword;
    return true;
}

void SessionEngine::TakeNewPassword(const FtpCommand& command) {
    // The server took the new password: this session, and a reconnect to it, log in with it.
    if (command.text.startsWith("SITE PSWD") && !session_->pendingPassword.isEmpty()) {
        session_->password = session_->pendingPassword;
        session_->pendingPassword.clear();
    }
}

bool SessionEngine::DeleteItems(const QList<RemoteItem>& items) {
    if (DeferBehindKeepAlive([this, items] { return DeleteItems(items); })) {
        return true;
    }
    if (items.isEmpty() || !MayStartOperation()) {
        return false;
    }
    session_->jobRunning = true;
    session_->jobKind = JobKind::RecursiveDelete;
    deletion_ = std::make_unique<DeleteJob>();
    StartJobWalk();
    view_.SetPaneEnabled(false);
    for (const RemoteItem& item : items) {
        auto entry = std::make_unique<DeleteEntry>();
        entry->name = item.name().toByteArray();
        entry->remotePath = JoinRemotePath(session_->currentDirectory, entry->name);
        entry->isDirectory = item.isDirectory() && !IsLinkItem(item);
        deletion_->entries.push_back(std::move(entry));
    }
    DeleteStep(false);
    return true;
}

void SessionEngine::DeleteStep(bool continuing) {
    if (!deletion_) {
        return;
    }
    if (continuing && deletion_->current) {
        QueueDirectoryContents();
    }
    deletion_->current.reset();
    while (!deletion_->entries.empty()) {
        std::unique_ptr<DeleteEntry> entry = std::move(deletion_->entries.front());
        deletion_->entries.pop_front();
        QByteArray unsafe = UnsafeLocalNameReason(entry->name);
        if (unsafe.isEmpty() && entry->isDirectory && entry->depth > kMaxDeleteDepth) {
            unsafe = "a directory nested too deep";
        }
        if (!unsafe.isEmpty()) {
            // A name such as "a/b" would delete something else than what was listed.
            WriteLog(LogKind::Error,
                     "Skipped " + entry->remotePath + ": " + unsafe + " cannot be deleted safely.");
            session_->failedCommands.push_back(
                {FailureRecord::Kind::Command, (entry->isDirectory ? "RMD " : "DELE ") + entry->remotePath});
            session_->failedCommands.push_back({FailureRecord::Kind::Reply, "Skipped: " + unsafe + "."});
            continue;
        }
        currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
        if (!entry->isDirectory) {
            currentSequence_->Append("DELE " + entry->remotePath);
        } else if (entry->contentsQueued) {
            // Out of the directory first: a server may refuse to remove the directory it is in.
            currentSequence_->Append("CDUP");
            currentSequence_->Append("RMD " + entry->remotePath);
        } else {
            currentSequence_.reset();
            const QByteArray path = entry->remotePath;
            deletion_->current = std::move(entry);
            ListJobDirectory(path, false);
            return;
        }
        SendNextOfCurrentSequence();
        return;
    }
    // Done: back where the job started, listed afresh.
    session_->currentDirectory = walk_.base;
    ResetJob();
    RefreshListing(false);
}

void SessionEngine::QueueDirectoryContents() {
    std::unique_ptr<DeleteEntry>& directory = deletion_->current;
    const DirectoryOutcome outcome = EndJobListing();
    if (outcome != DirectoryOutcome::Listed) {
        // Refused (recorded), or a directory the job has been in: nothing of it is deleted, and
        // never what another listing held.
        session_->listingBuffer = QByteArray();
        return;
    }
    const QByteArray here = session_->currentDirectory;
    qsizetype cut = 0;
    const std::vector<RemoteItem> items =
        ItemsInListingOrder(session_->listingBuffer, listingItemLimit_, cut);
    session_->listingBuffer = QByteArray();
    if (cut > 0) {
        WriteLog(LogKind::Error, "Directory listing of " + here + " too long, " + QByteArray::number(cut) +
                                     " of its entries are not deleted.");
    }
    // The contents in listing order, then the directory itself.
    directory->contentsQueued = true;
    const int depth = directory->depth + 1;
    deletion_->entries.push_front(std::move(directory));
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        auto entry = std::make_unique<DeleteEntry>();
        entry->name = it->name().toByteArray();
        entry->remotePath = JoinRemotePath(here, entry->name);
        entry->isDirectory = it->isDirectory() && !IsLinkItem(*it);
        entry->depth = depth;
        deletion_->entries.push_front(std::move(entry));
    }
}

} // namespace tessaly
