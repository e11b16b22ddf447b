// Changing directory, with the directory cache: a directory listed before is shown again after a
// CWD or CDUP alone.
#include "session/SessionEngine.h"
#include "session/UploadJob.h"

namespace tessaly {

void SessionEngine::ChangeDirectory(const QByteArray& path, bool up) {
    if (!session_ || !control_) {
        return;
    }
    FtpSession& session = *session_;
    session.cachedListing = nullptr;
    if (Setting(setting::kFolderCatch) != 0 && !session.jobRunning) {
        session.cachedListing = session.folderCache.Find(path);
    }
    currentSequence_.reset();
    if (session.cachedListing) {
        currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
        currentSequence_->Append(up ? QByteArray("CDUP") : "CWD " + path);
    } else {
        session.currentDirectory = path;
        session.listingMode = true;
        currentSequence_ = MakeListingSequence(false);
    }
    SendNextOfCurrentSequence();
}

void SessionEngine::ShowCachedListing(const FtpCommand& command) {
    FtpSession& session = *session_;
    const FolderCacheEntry* entry = session.cachedListing;
    session.cachedListing = nullptr;
    // CWD succeeds with 250; CDUP with 200 as RFC 959 gives it, or with 250 as most servers answer.
    const bool changed = command.replyCode == 250 || (command.text == "CDUP" && command.replyCode == 200);
    if (!changed || !entry) {
        return;
    }
    view_.ClearPane();
    view_.SetPath(entry->path);
    session.currentDirectory = entry->path;
    DisplayItems(RebuildFromEntry(*entry));
}

void SessionEngine::ClearCache() {
    if (session_) {
        session_->cachedListing = nullptr;
        session_->folderCache.Clear();
    }
}

} // namespace tessaly
