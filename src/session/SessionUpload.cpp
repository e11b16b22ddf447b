// Uploads: a job of local files and directories, one at a time. A file is first asked about with
// SIZE (unless MKD has just made its directory), goes through the conflict question when it exists
// remotely, and is sent with TYPE, PASV or PORT, REST when resuming, STOR and the send pump; a
// directory is made with MKD and replaced by its contents, hidden files included.
#include "session/DownloadJob.h"
#include "session/RemotePath.h"
#include "session/SessionEngine.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

namespace tessaly {

namespace {

// One turn of the send pump reads and sends this many chunks, then the loop runs again.
constexpr int kMaxSendChunksPerTurn = 64;

} // namespace

QByteArray ToNetworkLineEnds(const char* data, qint64 length, bool& lastWasCr) {
    QByteArray out;
    out.reserve(length + length / 16 + 1);
    for (qint64 i = 0; i < length; ++i) {
        if (data[i] == '\n' && !lastWasCr) {
            out.append('\r');
        }
        out.append(data[i]);
        lastWasCr = data[i] == '\r';
    }
    return out;
}

bool SessionEngine::UploadPaths(const QStringList& localPaths) {
    if (DeferBehindKeepAlive([this, localPaths] { return UploadPaths(localPaths); })) {
        return true;
    }
    if (!session_ || localPaths.isEmpty() || !IsIdle() || currentSequence_ || session_->jobRunning) {
        return false;
    }
    session_->jobRunning = true;
    session_->jobKind = JobKind::Upload;
    session_->rememberedConflictChoice = -1;
    upload_ = std::make_unique<UploadJob>();
    upload_->baseRemoteDirectory = session_->currentDirectory;
    upload_->remoteTarget = session_->currentDirectory;
    view_.SetPaneEnabled(false);
    // Each path keeps its own folder: paths dropped from several folders all land in the target.
    for (const QString& path : localPaths) {
        std::unique_ptr<UploadEntry> entry = MakeUploadEntry(QFileInfo(path), upload_->remoteTarget);
        view_.AddTaskRow(*entry->task, true);
        upload_->entries.push_back(std::move(entry));
    }
    UploadStep(false);
    return true;
}

std::unique_ptr<UploadEntry> SessionEngine::MakeUploadEntry(const QFileInfo& local,
                                                            const QByteArray& remoteDirectory) {
    QByteArray name = QFile::encodeName(local.fileName());
    switch (Setting(setting::kUploadCase) % 3) {
    case 1:
        name = QFile::encodeName(local.fileName().toLower());
        break;
    case 2:
        name = QFile::encodeName(local.fileName().toUpper());
        break;
    default:
        break;
    }
    auto entry = std::make_unique<UploadEntry>();
    entry->localPath = local.absoluteFilePath();
    entry->isDirectory = local.isDir(); // a link to a directory counts as one
    entry->remotePath = JoinRemotePath(remoteDirectory, name);
    std::unique_ptr<TransferTask> task = MakeSessionTask();
    task->upload = true;
    task->directory = entry->isDirectory;
    task->displayName = name;
    task->localPath = entry->localPath;
    task->remotePath = entry->remotePath;
    task->totalSize = entry->isDirectory ? 0 : local.size();
    entry->task = std::move(task);
    return entry;
}

void SessionEngine::UploadStep(bool continuing) {
    if (!upload_) {
        return;
    }
    if (continuing && upload_->current) {
        UploadEntry& entry = *upload_->current;
        if (entry.isDirectory) {
            ExpandUploadDirectory(entry);
        } else if (entry.stage == UploadStage::Ready) {
            if (StartUploadOf(entry) || !upload_) {
                return;
            }
        }
        upload_->current.reset();
    }
    while (!upload_->entries.empty()) {
        upload_->current = std::move(upload_->entries.front());
        upload_->entries.pop_front();
        UploadEntry& entry = *upload_->current;
        if (SkipUnsafeUpload(entry)) {
            upload_->current.reset();
            continue;
        }
        currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
        if (entry.isDirectory) {
            currentSequence_->Append("MKD " + entry.remotePath);
            SendNextOfCurrentSequence();
            return;
        }
        if (entry.stage == UploadStage::AskSize) {
            entry.stage = UploadStage::Ready;
            AppendTypeCommand(*currentSequence_, "TYPE I"); // SIZE counts the bytes as stored
            currentSequence_->Append("SIZE " + entry.remotePath);
            SendNextOfCurrentSequence();
            return;
        }
        if (StartUploadOf(entry) || !upload_) {
            return;
        }
        upload_->current.reset();
    }
    FinishUploadJob();
}

bool SessionEngine::SkipUnsafeUpload(const UploadEntry& entry) {
    QByteArray reason;
    const QFileInfo local(entry.localPath);
    if (BreaksCommandLine(entry.remotePath)) {
        reason = "a name holding a line break"; // no command may carry one
    } else if (local.isSymLink() && !local.exists()) {
        reason = "a link that leads nowhere";
    } else if (entry.isDirectory) {
        // A directory reached again through a link (to itself, to an ancestor, or twice) is not
        // uploaded again: no tree of links can make a job go round.
        const QString real = local.canonicalFilePath();
        if (upload_->visited.contains(real)) {
            WriteLog(LogKind::Status, "Skipped " + entry.localPath.toUtf8() +
                                          ": this upload has sent that directory already.");
            view_.RemoveTaskRow(0);
            return true;
        }
        upload_->visited.insert(real);
    }
    if (reason.isEmpty()) {
        return false;
    }
    WriteLog(LogKind::Error, "Skipped " + entry.localPath.toUtf8() + ": " + reason + " cannot be uploaded.");
    session_->failedCommands.push_back({FailureRecord::Kind::Command, "STOR " + entry.remotePath});
    session_->failedCommands.push_back({FailureRecord::Kind::Reply, "Skipped: " + reason + "."});
    view_.RemoveTaskRow(0);
    return true;
}

void SessionEngine::ExpandUploadDirectory(const UploadEntry& entry) {
    view_.RemoveTaskRow(0);
    const QDir directory(entry.localPath);
    if (!directory.isReadable()) {
        const QByteArray reason = "Cannot read the local directory " + entry.localPath.toUtf8() + ".";
        WriteLog(LogKind::Error, reason);
        session_->failedCommands.push_back({FailureRecord::Kind::Command, "MKD " + entry.remotePath});
        session_->failedCommands.push_back({FailureRecord::Kind::Reply, reason});
        return;
    }
    // Everything in it, hidden files and links included, in name order.
    const QFileInfoList contents = directory.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = contents.crbegin(); it != contents.crend(); ++it) {
        std::unique_ptr<UploadEntry> child = MakeUploadEntry(*it, entry.remotePath);
        if (entry.directoryCreated && !child->isDirectory) {
            child->stage = UploadStage::Ready; // a directory just made holds nothing to ask about
        }
        view_.AddTaskRow(*child->task, false);
        upload_->entries.push_front(std::move(child));
    }
}

bool SessionEngine::StartUploadOf(UploadEntry& entry) {
    entry.stage = UploadStage::Sent;
    TransferTask& task = *entry.task;
    const qint64 remoteSize = task.exists ? task.transferred : 0;
    task.transferred = 0;
    if (task.exists) {
        const QFileInfo local(entry.localPath);
        view_.SetTaskCell(0, TaskColumn::Size, QString::number(local.size()));
        ConflictQuestion question;
        question.localName = entry.localPath;
        question.localSize = ConflictSizeText(local.size());
        question.localDate = ConflictDateText(local.lastModified());
        question.remoteName = "ftp://" + task.host + task.remotePath;
        question.remoteSize = ConflictSizeText(remoteSize);
        question.localSizeValue = local.size();
        question.remoteSizeValue = remoteSize;
        question.resumePossible = task.restSupported;
        question.upload = true; // the remote file is the target
        const std::optional<ConflictChoice> choice = DecideConflict(question);
        if (!choice) {
            return false; // the job was cancelled, or the session ended
        }
        switch (*choice) {
        case ConflictChoice::Ignore:
            view_.RemoveTaskRow(0);
            return false;
        case ConflictChoice::Overwrite:
            task.overwrite = true;
            break;
        case ConflictChoice::Resume:
            task.startOffset = remoteSize;
            task.transferred = remoteSize;
            break;
        case ConflictChoice::Rename: {
            task.overwrite = true;
            task.exists = false;
            const qsizetype slash = task.remotePath.lastIndexOf('/');
            task.remotePath.insert(slash + 1, "Temp_name_of_");
            break;
        }
        }
    }
    currentTransfer_ = &task;
    upload_->lastWasCr = false;
    upload_->reachedEnd = false;
    upload_->dataReady = false;
    upload_->transferStarted = false;
    upload_->localFailure.clear();
    upload_->unsent.clear();
    upload_->unsentOffset = 0;
    upload_->unsentFileBytes = 0;
    upload_->asciiConversion = SendTransferCommands(task, "STOR ") == "TYPE A";
    return true;
}

void SessionEngine::MarkDirectoryCreated() {
    if (upload_ && upload_->current && upload_->current->isDirectory) {
        upload_->current->directoryCreated = true;
    }
}

void SessionEngine::TakeRemoteSize(qint64 size) {
    // The file exists remotely with this size: the conflict question comes, and a resume starts here.
    if (upload_ && upload_->current && !upload_->current->isDirectory && size >= 0) {
        upload_->current->task->exists = true;
        upload_->current->task->transferred = size;
    }
}

void SessionEngine::OnUploadDataReady() {
    if (upload_ && currentTransfer_ && currentTransfer_->upload) {
        upload_->dataReady = true;
        ScheduleSendPump();
    }
}

void SessionEngine::OnUploadStarted() {
    if (upload_ && currentTransfer_ && currentTransfer_->upload) {
        upload_->transferStarted = true;
        ScheduleSendPump();
    }
}

void SessionEngine::ScheduleSendPump() {
    // Sending starts once the data connection is there and the server has taken the STOR (its 150);
    // it continues from the loop, because the socket tells of room again only after a send that
    // would have blocked.
    if (!upload_ || !upload_->dataReady || !upload_->transferStarted || upload_->pumpScheduled) {
        return;
    }
    upload_->pumpScheduled = true;
    const quint64 serial = sessionSerial_;
    QMetaObject::invokeMethod(
        &context_,
        [this, serial] {
            if (serial == sessionSerial_ && upload_) {
                upload_->pumpScheduled = false;
                SendFileData();
            }
        },
        Qt::QueuedConnection);
}

void SessionEngine::SendFileData() {
    TransferTask* task = currentTransfer_;
    if (!task || !task->upload || !upload_ || !data_ || upload_->reachedEnd ||
        !upload_->localFailure.isEmpty() || !upload_->dataReady || !upload_->transferStarted) {
        return;
    }
    uploadTimer_.stop();
    if (!task->localFile) {
        if (!OpenTransferFile(*task)) {
            FailUploadLocally("Cannot open the local file " + task->localPath.toUtf8() + ".");
            return;
        }
        meter_.Start(*task);
    }
    UploadJob& job = *upload_;
    const qint64 before = task->transferred;
    // A turn reads one block of the file (the chunks of a turn, read to the file's end whatever size
    // it had when it was queued) and hands it to the socket in one send: a send per chunk costs
    // more than the copying. What the socket does not take waits for its writable event.
    for (;;) {
        if (job.unsentOffset == job.unsent.size() && !ReadUploadBlock(*task, job)) {
            return;
        }
        const qint64 sent =
            data_->Write(job.unsent.constData() + job.unsentOffset, job.unsent.size() - job.unsentOffset);
        if (sent < 0) {
            if (data_->LastError() == EWOULDBLOCK) {
                RestartUploadTimer(); // the socket's writable event goes on from here
            }
            break; // any other error: the connection's close ends the file
        }
        job.unsentOffset += sent;
        if (!job.asciiConversion) {
            task->transferred += sent;
        } else if (job.unsentOffset == job.unsent.size()) {
            task->transferred += job.unsentFileBytes; // the file's bytes, not the wire's
        }
        if (job.unsentOffset == job.unsent.size()) {
            ScheduleSendPump(); // the block is gone while the socket still takes data
            break;
        }
        if (sent == 0) {
            break;
        }
        // Part of the block went: the next send takes the rest or arms the writable event.
    }
    if (task->transferred != before) {
        view_.SetTaskProgress(0, task->transferred);
    }
}

bool SessionEngine::ReadUploadBlock(TransferTask& task, UploadJob& job) {
    const qint64 block = ChunkBytes(setting::kSendSize) * kMaxSendChunksPerTurn;
    QByteArray& target = job.asciiConversion ? job.readBuffer : job.unsent;
    target.resize(block);
    const qint64 got = task.localFile->read(target.data(), block);
    if (got < 0) {
        FailUploadLocally("Cannot read the local file " + task.localPath.toUtf8() + " (" +
                          task.localFile->errorString().toUtf8() + ").");
        return false;
    }
    if (got == 0) {
        job.unsent.clear();
        FinishSending();
        return false;
    }
    target.resize(got);
    if (job.asciiConversion) {
        job.unsent = ToNetworkLineEnds(target.constData(), got, job.lastWasCr);
    }
    job.unsentOffset = 0;
    job.unsentFileBytes = got;
    return true;
}

void SessionEngine::FinishSending() {
    // Closing the data connection tells the server the file is complete; its reply ends the file.
    upload_->reachedEnd = true;
    if (currentTransfer_) {
        view_.SetTaskProgress(0, currentTransfer_->transferred);
    }
    OnDataClosed(0);
}

void SessionEngine::FailUploadLocally(const QByteArray& reason) {
    upload_->localFailure = reason;
    WriteLog(LogKind::Error, reason);
    // The server sees the connection end and answers the STOR; that answer ends the file.
    OnDataClosed(0);
}

void SessionEngine::RestartUploadTimer() {
    if (Setting(setting::kUseTimeout) != 0) {
        uploadTimer_.start(TimeoutPeriod(Setting(setting::kFileUploadTimeout), minuteMs_,
                                         setting::kFileUploadTimeout.defaultNumber));
    }
}

void SessionEngine::CompleteUpload(int replyCode) {
    TransferTask* task = currentTransfer_;
    meter_.Stop();
    uploadTimer_.stop();
    UploadJob& job = *upload_;
    const bool accepted = replyCode >= 100 && replyCode < 400;
    if (accepted && job.localFailure.isEmpty() && !job.reachedEnd) {
        // The server closed the connection (or it broke) before the file was through.
        job.localFailure =
            "The data connection ended before the whole of " + task->localPath.toUtf8() + " was sent.";
        WriteLog(LogKind::Error, job.localFailure);
    }
    const bool succeeded = accepted && job.localFailure.isEmpty();
    if (!job.localFailure.isEmpty()) {
        session_->failedCommands.push_back({FailureRecord::Kind::Command, "STOR " + task->remotePath});
        session_->failedCommands.push_back({FailureRecord::Kind::Reply, job.localFailure});
    }
    EndFileTransfer(*task, succeeded);
}

void SessionEngine::FinishUploadJob() {
    if (!session_) {
        return;
    }
    ResetJob();
    // The directory is listed again as the server has it now; the listing enables the pane.
    RefreshListing(true);
}

} // namespace tessaly
