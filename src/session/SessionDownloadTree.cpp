// Directories in a download job: each is listed (CWD, PWD, LIST, without the directory cache) and
// replaced by its contents in listing order, so a tree is fetched depth first. The server's own
// name for each directory (PWD) guards against links that lead back into the tree or above it.
#include "listing/LocalTimeCache.h"
#include "listing/RemoteItem.h"
#include "session/DownloadJob.h"
#include "session/RemotePath.h"
#include "session/SessionEngine.h"

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

bool IsLink(const RemoteItem& item) {
    return !item.dosStyle() && item.rawLine().startsWith('l');
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

bool SessionEngine::JobListsDirectory() const {
    return download_ && download_->current && download_->current->isDirectory &&
           download_->directoryOutcome == DirectoryOutcome::Pending;
}

void SessionEngine::ListJobDirectory(DownloadEntry& entry) {
    download_->directoryOutcome = DirectoryOutcome::Pending;
    session_->listingBuffer.clear(); // never the listing of a directory before
    session_->currentDirectory = entry.remotePath;
    session_->listingMode = true;
    currentSequence_ = MakeListingSequence(false);
    SendNextOfCurrentSequence();
}

void SessionEngine::OnJobDirectoryRefused(FtpCommand& command, bool changeRefused) {
    DownloadEntry& entry = *download_->current;
    download_->directoryOutcome = changeRefused ? DirectoryOutcome::NotADirectory : DirectoryOutcome::Refused;
    // A link the server will not enter is a link to a file: it is fetched as one, nothing failed.
    if (!(changeRefused && entry.isLink)) {
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
    if (!download_->visited.contains(here) &&
        !IsSameOrAncestorDirectory(here, download_->baseRemoteDirectory)) {
        download_->visited.insert(here);
        return;
    }
    WriteLog(LogKind::Status, "Skipped " + download_->current->remotePath + ": it leads to " + here +
                                  ", which this download has been in already or started below.");
    download_->directoryOutcome = DirectoryOutcome::Revisited;
    if (currentSequence_) {
        currentSequence_->Clear();
    }
    CloseListener();
}

void SessionEngine::EndJobDirectory() {
    std::unique_ptr<DownloadEntry>& entry = download_->current;
    const DirectoryOutcome outcome = download_->directoryOutcome;
    download_->directoryOutcome = DirectoryOutcome::Pending;
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
    const QByteArray& listing = session_->listingBuffer;
    const LocalDate today = LocalDate::Today();
    LocalTimeCache times;
    std::vector<std::unique_ptr<DownloadEntry>> contents;
    qsizetype start = 0;
    qsizetype cut = 0;
    // Lines end at every CR and LF; the entries keep the order the server listed them in.
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
        const RemoteItem item(line, today, times);
        const QByteArray name = item.name().toByteArray();
        if (!item.valid() || name == "." || name == "..") {
            continue;
        }
        if (qsizetype(contents.size()) >= listingItemLimit_) {
            ++cut;
            continue;
        }
        contents.push_back(MakeDownloadEntry(JoinRemotePath(here, name), name, qint64(item.size()), target,
                                             item.isDirectory(), IsLink(item), entry.depth + 1));
    }
    if (cut > 0) {
        WriteLog(LogKind::Error, "Directory listing of " + here + " too long, " + QByteArray::number(cut) +
                                     " of its entries are not downloaded.");
    }
    // The contents go first, in listing order, before what followed the directory.
    for (auto it = contents.rbegin(); it != contents.rend(); ++it) {
        view_.AddTaskRow(*(*it)->task, false);
        download_->entries.push_front(std::move(*it));
    }
}

QByteArray SessionEngine::UnsafeEntryReason(const DownloadEntry& entry) const {
    QByteArray reason = UnsafeLocalNameReason(entry.name);
    if (reason.isEmpty() && (entry.remotePath.contains('\r') || entry.remotePath.contains('\n'))) {
        reason = "a name holding a line break"; // no command may carry one
    }
    if (reason.isEmpty() && entry.isDirectory && entry.depth > kMaxTreeDepth) {
        reason = "a directory nested too deep";
    }
    if (reason.isEmpty()) {
        // Whatever the names, nothing is written outside the directory the job downloads into.
        const QString base = QDir::cleanPath(QDir(download_->localBase).absolutePath());
        const QString path =
            QDir::cleanPath(QDir(download_->localBase).absoluteFilePath(entry.task->localPath));
        if (!path.startsWith(base + (base.endsWith(u'/') ? QString() : QStringLiteral("/")))) {
            reason = "a local path outside the download's directory";
        }
    }
    return reason;
}

} // namespace tessaly
