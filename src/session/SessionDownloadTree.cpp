// Directories in a job: each is listed (CWD, PWD, LIST, without the directory cache); a download
// replaces it by its contents in listing order, so a tree is fetched depth first. The server's own
// name for each directory (PWD) guards against links that lead back into the tree or above it.
#include "listing/LocalTimeCache.h"
#include "listing/RemoteItem.h"
#include "session/DownloadJob.h"
#include "session/JobWalk.h"
#include "session/RemotePath.h"
#include "session/SessionEngine.h"
#include "session/TextFormat.h"

#include <QDir>
#include <utility>
#include <vector>

namespace tessaly {

namespace {

// Directories nested deeper than this inside one job are not entered: no real tree is this deep,
// and a server inventing directories without end cannot keep a job going.
constexpr int kMaxTreeDepth = 100;

// A directory path without the "/" some servers put at its end ("/" itself stays).
QByteArray WithoutTrailingSlash(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/')) {
        path.chop(1);
    }
    return path;
}

} // namespace

bool IsSameOrAncestorDirectory(const QByteArray& directory, const QByteArray& base) {
    const QByteArray above = WithoutTrailingSlash(directory);
    const QByteArray below = WithoutTrailingSlash(base);
    if (above == below || above == "/") {
        return true;
    }
    return below.startsWith(above) && below.at(above.size()) == '/';
}

bool IsLinkItem(const RemoteItem& item) {
    return !item.dosStyle() && item.rawLine().startsWith('l');
}

std::vector<RemoteItem> ItemsInListingOrder(const QByteArray& listing, qsizetype maxItems, qsizetype& cut) {
    const LocalDate today = LocalDate::Today();
    LocalTimeCache times;
    std::vector<RemoteItem> items;
    cut = 0;
    qsizetype start = 0;
    // Lines end at every CR and LF.
    while (start < listing.size()) {
        qsizetype end = start;
        while (end < listing.size() && listing[end] != '\r' && listing[end] != '\n') {
            ++end;
        }
        const QByteArray line = listing.mid(start, end - start);
        start = end + 1;
        if (line.isEmpty() || line.left(5).toLower() == "total") {
            continue;
        }
        RemoteItem item(line, today, times);
        if (!item.valid() || item.name() == QByteArrayView(".") || item.name() == QByteArrayView("..")) {
            continue;
        }
        if (qsizetype(items.size()) >= maxItems) {
            ++cut;
            continue;
        }
        items.push_back(std::move(item));
    }
    return items;
}

void SessionEngine::StartJobWalk() {
    walk_ = JobWalk();
    walk_.base = session_->currentDirectory;
}

bool SessionEngine::JobListsDirectory() const {
    return walk_.listing && walk_.outcome == DirectoryOutcome::Pending;
}

void SessionEngine::ListJobDirectory(const QByteArray& remotePath, bool isLink) {
    walk_.listing = true;
    walk_.isLink = isLink;
    walk_.remotePath = remotePath;
    walk_.outcome = DirectoryOutcome::Pending;
    session_->listingBuffer.clear(); // never the listing of a directory before
    session_->currentDirectory = remotePath;
    session_->listingMode = true;
    currentSequence_ = MakeListingSequence(false);
    SendNextOfCurrentSequence();
}

void SessionEngine::OnJobDirectoryRefused(FtpCommand& command, bool changeRefused) {
    walk_.outcome = changeRefused ? DirectoryOutcome::NotADirectory : DirectoryOutcome::Refused;
    // A link the server will not enter is a link to a file: it is taken as one, nothing failed.
    if (!(changeRefused && walk_.isLink)) {
        RecordFailedCommand(command);
    }
    if (changeRefused && currentSequence_) {
        // Nothing more of this directory: a LIST now would list the directory the server is still in.
        currentSequence_->Clear();
        CloseListener();
    }
}

void SessionEngine::CheckJobDirectory() {
    const QByteArray here = WithoutTrailingSlash(session_->currentDirectory);
    if (deletion_ && here != WithoutTrailingSlash(walk_.remotePath)) {
        // The name led somewhere else (a link the listing did not show as one): a delete never
        // follows it, whatever lies there.
        const QByteArray reason = "it leads to " + here + ", outside the tree being deleted";
        WriteLog(LogKind::Error, "Skipped " + walk_.remotePath + ": " + reason + ".");
        session_->failedCommands.push_back({FailureRecord::Kind::Command, "RMD " + walk_.remotePath});
        session_->failedCommands.push_back({FailureRecord::Kind::Reply, "Skipped: " + reason + "."});
    } else if (!walk_.visited.contains(here) && !IsSameOrAncestorDirectory(here, walk_.base)) {
        walk_.visited.insert(here);
        return;
    } else {
        WriteLog(LogKind::Status, "Skipped " + walk_.remotePath + ": it leads to " + here +
                                      ", which this job has been in already or started below.");
    }
    walk_.outcome = DirectoryOutcome::Revisited;
    if (currentSequence_) {
        currentSequence_->Clear();
    }
    CloseListener();
}

DirectoryOutcome SessionEngine::EndJobListing() {
    const DirectoryOutcome outcome = walk_.outcome;
    walk_.listing = false;
    walk_.outcome = DirectoryOutcome::Pending;
    return outcome;
}

void SessionEngine::EndJobDirectory() {
    std::unique_ptr<DownloadEntry>& entry = download_->current;
    const DirectoryOutcome outcome = EndJobListing();
    if (outcome == DirectoryOutcome::NotADirectory && entry->isLink) {
        // Fetched as a file next, with the same row.
        entry->isDirectory = false;
        download_->entries.push_front(std::move(entry));
        return;
    }
    if (outcome == DirectoryOutcome::Listed) {
        ExpandJobDirectory(*entry);
    } else {
        view_.RemoveTaskRow(0);
    }
    session_->listingBuffer = QByteArray();
}

void SessionEngine::ExpandJobDirectory(const DownloadEntry& entry) {
    const QString target = entry.task->localPath;
    view_.RemoveTaskRow(0);
    if (!QDir().mkpath(target)) {
        const QByteArray reason = "Cannot create the local directory " + target.toUtf8() + ".";
        WriteLog(LogKind::Error, reason);
        session_->failedCommands.push_back({FailureRecord::Kind::Command, "LIST " + entry.remotePath});
        session_->failedCommands.push_back({FailureRecord::Kind::Reply, reason});
        return;
    }
    const QByteArray here = WithoutTrailingSlash(session_->currentDirectory);
    qsizetype cut = 0;
    const std::vector<RemoteItem> items =
        ItemsInListingOrder(session_->listingBuffer, listingItemLimit_, cut);
    if (cut > 0) {
        WriteLog(LogKind::Error, "Directory listing of " + here + " too long, " + QByteArray::number(cut) +
                                     " of its entries are not downloaded.");
    }
    // The contents go first, in listing order, before what followed the directory.
    for (auto it = items.rbegin(); it != items.rend(); ++it) {
        const QByteArray name = it->name().toByteArray();
        std::unique_ptr<DownloadEntry> child =
            MakeDownloadEntry(JoinRemotePath(here, name), name, qint64(it->size()), target, it->isDirectory(),
                              IsLinkItem(*it), entry.depth + 1);
        view_.AddTaskRow(*child->task, false);
        download_->entries.push_front(std::move(child));
    }
}

QByteArray SessionEngine::UnsafeEntryReason(const DownloadEntry& entry) const {
    QByteArray reason = UnsafeLocalNameReason(entry.name);
    if (reason.isEmpty() && BreaksCommandLine(entry.remotePath)) {
        reason = "a name holding a line break"; // no command may carry one
    }
    if (reason.isEmpty() && entry.isDirectory && entry.depth > kMaxTreeDepth) {
        reason = "a directory nested too deep";
    }
    if (reason.isEmpty()) {
        // Whatever the names, nothing is written outside the directory the job downloads into.
        const QString path =
            QDir::cleanPath(QDir(download_->localBase).absoluteFilePath(entry.task->localPath));
        if (!path.startsWith(download_->localBasePrefix)) {
            reason = "a local path outside the download's directory";
        }
    }
    return reason;
}

} // namespace tessaly
