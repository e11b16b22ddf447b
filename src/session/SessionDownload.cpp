// Downloads: a job of files, one at a time, each with its conflict question, its command sequence
// (TYPE, PASV or PORT, REST when resuming, RETR), the receive pump and one completion routine that
// decides from the final reply and the data connection's close, in either order.
#include "session/DeleteJob.h"
#include "session/DownloadJob.h"
#include "session/RemotePath.h"
#include "session/SessionEngine.h"
#include "session/TextFormat.h"
#include "session/UploadJob.h"

#include <QDir>
#include <QFileInfo>
#include <vector>

namespace tessaly {

namespace {

// One readable event reads at most this many chunks of a file, then the loop runs again.
constexpr int kMaxFileChunksPerEvent = 64;

QByteArray LastPathPart(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

} // namespace

QByteArray TransferTypeCommand(const QByteArray& remotePath, int transferType, const QString& extensionList) {
    if (transferType == 2) {
        return "TYPE A";
    }
    if (transferType != 1) {
        return "TYPE I";
    }
    // The extension is what follows the name's last full stop; it must equal one of the list's
    // entries (a part of one, such as "ML" of "HTML", is no match, nor is an empty extension).
    const qsizetype dot = remotePath.lastIndexOf('.');
    if (dot < 0 || dot < remotePath.lastIndexOf('/') || dot + 1 == remotePath.size()) {
        return "TYPE I";
    }
    const QByteArray extension = remotePath.mid(dot + 1).toUpper();
    const QByteArray list = extensionList.toUtf8();
    for (qsizetype from = 0; from <= list.size();) {
        qsizetype comma = list.indexOf(',', from);
        comma = comma < 0 ? list.size() : comma;
        if (QByteArrayView(list).sliced(from, comma - from) == extension) {
            return "TYPE A";
        }
        from = comma + 1;
    }
    return "TYPE I";
}

QByteArray UnsafeLocalNameReason(const QByteArray& name) {
    if (name.isEmpty()) {
        return "an empty name";
    }
    if (name == "." || name == "..") {
        return "a name that means a directory";
    }
    if (name.contains('/') || name.contains('\\') || name.contains('\0')) {
        return "a name holding a path separator or a NUL byte";
    }
    return {};
}

QByteArray ConvertAsciiChunk(const char* data, qint64 length, bool& pendingCr) {
    QByteArray out;
    out.reserve(length + 1);
    qint64 i = 0;
    if (pendingCr) {
        pendingCr = false;
        if (length > 0 && data[0] == '\n') {
            out.append('\n');
            i = 1;
        } else {
            out.append('\r');
        }
    }
    for (; i < length; ++i) {
        if (data[i] == '\r') {
            if (i + 1 == length) {
                pendingCr = true;
                break;
            }
            if (data[i + 1] == '\n') {
                continue; // the LF that follows is written alone
            }
        }
        out.append(data[i]);
    }
    return out;
}

bool SessionEngine::StartDownloadJob(const QString& localDirectory) {
    if (!IsIdle() || currentSequence_ || session_->jobRunning) {
        return false;
    }
    session_->jobRunning = true;
    session_->jobKind = JobKind::Download;
    session_->rememberedConflictChoice = -1;
    download_ = std::make_unique<DownloadJob>();
    StartJobWalk();
    download_->localBase = localDirectory;
    download_->localBasePrefix = QDir::cleanPath(QDir(localDirectory).absolutePath());
    if (!download_->localBasePrefix.endsWith(u'/')) {
        download_->localBasePrefix += u'/';
    }
    view_.SetPaneEnabled(false);
    return true;
}

std::unique_ptr<TransferTask> SessionEngine::MakeSessionTask() const {
    auto task = std::make_unique<TransferTask>();
    task->host = StripFtpScheme(session_->host);
    task->user = session_->userName;
    task->password = session_->password;
    task->port = session_->port;
    task->restSupported = session_->restSupported;
    return task;
}

std::unique_ptr<DownloadEntry> SessionEngine::MakeDownloadEntry(const QByteArray& remotePath,
                                                                const QByteArray& name, qint64 size,
                                                                const QString& localDirectory,
                                                                bool isDirectory, bool isLink, int depth) {
    auto entry = std::make_unique<DownloadEntry>();
    entry->remotePath = remotePath;
    entry->name = name;
    entry->isDirectory = isDirectory;
    entry->isLink = isLink;
    entry->depth = depth;
    std::unique_ptr<TransferTask> task = MakeSessionTask();
    QByteArray localName = name;
    switch (Setting(setting::kDownloadCase) % 3) {
    case 1:
        localName = QFile::encodeName(QFile::decodeName(name).toLower());
        break;
    case 2:
        localName = QFile::encodeName(QFile::decodeName(name).toUpper());
        break;
    default:
        break;
    }
    task->displayName = localName;
    task->localPath = QDir(localDirectory).filePath(QFile::decodeName(localName));
    task->remotePath = remotePath;
    task->totalSize = size;
    entry->task = std::move(task);
    return entry;
}

bool SessionEngine::DownloadItems(const QList<RemoteItem>& items, const QString& localDirectory) {
    if (DeferBehindKeepAlive(
            [this, items, localDirectory] { return DownloadItems(items, localDirectory); })) {
        return true;
    }
    if (!session_ || items.isEmpty() || !StartDownloadJob(localDirectory)) {
        return false;
    }
    for (const RemoteItem& item : items) {
        const QByteArray name = item.name().toByteArray();
        std::unique_ptr<DownloadEntry> entry =
            MakeDownloadEntry(JoinRemotePath(session_->currentDirectory, name), name, qint64(item.size()),
                              download_->localBase, item.isDirectory(), IsLinkItem(item));
        view_.AddTaskRow(*entry->task, true);
        download_->entries.push_back(std::move(entry));
    }
    DownloadStep(false);
    return true;
}

bool SessionEngine::DownloadByPath(const QByteArray& path, const QString& localDirectory) {
    if (DeferBehindKeepAlive([this, path, localDirectory] { return DownloadByPath(path, localDirectory); })) {
        return true;
    }
    if (!session_ || path.isEmpty() || !StartDownloadJob(localDirectory)) {
        return false;
    }
    session_->pendingDownloadPath = path;
    currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
    AppendTypeCommand(*currentSequence_, "TYPE I"); // SIZE counts the bytes as stored
    currentSequence_->Append("SIZE " + path);
    SendNextOfCurrentSequence();
    return true;
}

void SessionEngine::QueueDownloadByPath(bool found, const FtpCommand& size) {
    if (!download_) {
        return;
    }
    if (!found) {
        RecordFailedCommand(size);
        return;
    }
    const QByteArray& path = session_->pendingDownloadPath;
    std::unique_ptr<DownloadEntry> entry =
        MakeDownloadEntry(path, LastPathPart(path), session_->sizeResult, download_->localBase);
    view_.AddTaskRow(*entry->task, true);
    download_->entries.push_back(std::move(entry));
}

void SessionEngine::ContinueJob() {
    if (!session_ || !session_->jobRunning) {
        return;
    }
    if (upload_) {
        UploadStep(true);
        return;
    }
    if (deletion_) {
        DeleteStep(true);
        return;
    }
    if (!session_->pendingDownloadPath.isEmpty()) {
        session_->pendingDownloadPath.clear();
        DownloadStep(false);
        return;
    }
    DownloadStep(true);
}

void SessionEngine::DownloadStep(bool continuing) {
    if (!download_) {
        return;
    }
    if (continuing && download_->current && download_->current->isDirectory) {
        EndJobDirectory(); // its contents, if it was listed, now lead the list
    }
    download_->current.reset();
    while (!download_->entries.empty()) {
        download_->current = std::move(download_->entries.front());
        download_->entries.pop_front();
        DownloadEntry& entry = *download_->current;
        if (SkipUnsafeEntry(entry)) {
            download_->current.reset();
            continue;
        }
        if (entry.isDirectory) {
            ListJobDirectory(entry.remotePath, entry.isLink);
            return;
        }
        if (StartDownloadOf(entry)) {
            return;
        }
        if (!download_) {
            return; // cancelled, or the session ended while a question was open
        }
        download_->current.reset();
    }
    FinishDownloadJob();
}

bool SessionEngine::SkipUnsafeEntry(const DownloadEntry& entry) {
    const QByteArray unsafe = UnsafeEntryReason(entry);
    if (unsafe.isEmpty()) {
        return false;
    }
    WriteLog(LogKind::Error, "Skipped " + entry.remotePath + ": " + unsafe + " cannot be downloaded.");
    const QByteArray command = entry.isDirectory ? "LIST " : "RETR ";
    session_->failedCommands.push_back({FailureRecord::Kind::Command, command + entry.remotePath});
    session_->failedCommands.push_back({FailureRecord::Kind::Reply, "Skipped: " + unsafe + "."});
    view_.RemoveTaskRow(0);
    return true;
}

bool SessionEngine::StartDownloadOf(DownloadEntry& entry) {
    TransferTask& task = *entry.task;
    // Whether the file exists is looked at now, not when it was queued. A file fetched to be viewed
    // or run replaces an earlier copy without a question.
    const QFileInfo local(task.localPath);
    task.exists = local.exists() && !download_->openAfterwards;
    if (task.exists) {
        view_.SetTaskCell(0, TaskColumn::Size, QString::number(local.size()));
        ConflictQuestion question;
        question.localName = task.localPath;
        question.localSize = ConflictSizeText(local.size());
        question.localDate = ConflictDateText(local.lastModified());
        question.remoteName = "ftp://" + task.host + task.remotePath;
        question.remoteSize = ConflictSizeText(task.totalSize);
        question.remoteDate = QStringLiteral("<Unknow>");
        question.localSizeValue = local.size();
        question.remoteSizeValue = task.totalSize;
        question.resumePossible = task.restSupported;
        const std::optional<ConflictChoice> decided = DecideConflict(question);
        if (!decided) {
            return false; // the job was cancelled, or the session ended
        }
        const ConflictChoice choice = *decided;
        switch (choice) {
        case ConflictChoice::Ignore:
            view_.RemoveTaskRow(0);
            return false;
        case ConflictChoice::Overwrite:
            task.overwrite = true;
            break;
        case ConflictChoice::Resume:
            task.startOffset = local.size();
            break;
        case ConflictChoice::Rename: {
            task.overwrite = true;
            task.exists = false;
            const QFileInfo original(task.localPath);
            task.localPath = original.dir().filePath(QStringLiteral("Temp_name_of_") + original.fileName());
            break;
        }
        }
    }
    currentTransfer_ = &task;
    download_->pendingCr = false;
    download_->localFailure.clear();
    download_->asciiConversion = SendTransferCommands(task, "RETR ") == "TYPE A";
    return true;
}

QByteArray SessionEngine::SendTransferCommands(const TransferTask& task, const QByteArray& verb) {
    const bool resume = task.exists && task.startOffset != 0 && task.restSupported;
    // A resumed file moves in TYPE I: REST offsets count the bytes as stored.
    const QByteArray type = resume ? QByteArray("TYPE I") : TransferTypeFor(task.remotePath);
    if (!currentSequence_) {
        currentSequence_ = std::make_unique<CommandSequence>(SequenceKind::Plain);
    }
    AppendTypeCommand(*currentSequence_, type);
    session_->listingMode = false;
    QueueDataConnectionCommand(*currentSequence_);
    if (resume) {
        currentSequence_->Append("REST " + QByteArray::number(task.startOffset));
    }
    currentSequence_->Append(verb + task.remotePath);
    SendNextOfCurrentSequence();
    return type;
}

QByteArray SessionEngine::TransferTypeFor(const QByteArray& remotePath) const {
    return TransferTypeCommand(remotePath, Setting(setting::kTransferType),
                               settings_.Text(setting::kExtendsionList));
}

std::optional<ConflictChoice> SessionEngine::DecideConflict(const ConflictQuestion& question) {
    if (session_->rememberedConflictChoice >= 0) {
        return ConflictChoice(session_->rememberedConflictChoice);
    }
    const quint64 serial = sessionSerial_;
    ConflictAnswer answer;
    Ask([&] {
        answer = view_.AskConflict(question);
        return true;
    });
    if (!session_ || serial != sessionSerial_ || !session_->jobRunning) {
        return std::nullopt; // the session or the job ended while the question was open
    }
    if (answer.cancelled) {
        view_.SetWaitCursor(true);
        view_.ClearTasks();
        view_.SetWaitCursor(false);
        FinishJob();
        return std::nullopt;
    }
    if (answer.remember) {
        session_->rememberedConflictChoice = int(answer.choice);
    }
    return answer.choice;
}

void SessionEngine::QueueDataConnectionCommand(CommandSequence& sequence) {
    if (UsePassiveMode()) {
        sequence.Append("PASV");
    } else {
        OpenActiveListener(sequence, true);
    }
}

void SessionEngine::ReceiveFileData() {
    TransferTask* task = currentTransfer_;
    if (!task || !download_ || !data_) {
        return;
    }
    if (!task->localFile && download_->localFailure.isEmpty()) {
        if (!OpenTransferFile(*task)) {
            FailLocally("Cannot create the local file " + task->localPath.toUtf8() + ".");
            return;
        }
        meter_.Start(*task);
    }
    // One event takes at most a block of chunks, read with as few calls as the socket allows (each
    // asks for the rest of the block) and written to the file with one call: a system call per chunk
    // costs more than the copying, and the count still covers only bytes the file has taken.
    const qint64 block = ChunkBytes(setting::kReceiveSize) * kMaxFileChunksPerEvent;
    std::vector<char>& buffer = download_->receiveBuffer;
    buffer.resize(static_cast<std::size_t>(block));
    qint64 filled = 0;
    // Read until the connection closes, whatever size was listed: the total is for display only.
    while (filled < block && data_) {
        const qint64 got = data_->Read(buffer.data() + filled, block - filled);
        if (got <= 0) {
            break;
        }
        filled += got;
    }
    // The server's close, met by the last read, ends the file at once rather than after one more
    // turn of the loop to notice it.
    const bool ended = data_ && data_->ReachedEnd();
    if (filled > 0 && download_->localFailure.isEmpty() &&
        !WriteReceivedBytes(*task, buffer.data(), filled)) {
        return;
    }
    if (ended && data_) {
        OnDataAtItsEnd();
    }
}

bool SessionEngine::WriteReceivedBytes(TransferTask& task, const char* received, qint64 count) {
    const QByteArray converted =
        download_->asciiConversion ? ConvertAsciiChunk(received, count, download_->pendingCr) : QByteArray();
    const char* bytes = download_->asciiConversion ? converted.constData() : received;
    const qint64 length = download_->asciiConversion ? converted.size() : count;
    if (task.localFile->write(bytes, length) != length) {
        FailLocally("Cannot write the local file " + task.localPath.toUtf8() + " (" +
                    task.localFile->errorString().toUtf8() + ").");
        return false;
    }
    task.transferred += length;
    view_.SetTaskProgress(0, task.transferred);
    RestartDownloadTimer();
    return true;
}

void SessionEngine::RestartDownloadTimer() {
    if (Setting(setting::kUseTimeout) != 0) {
        downloadTimer_.start(TimeoutPeriod(Setting(setting::kFileDownloadTimeout), minuteMs_,
                                           setting::kFileDownloadTimeout.defaultNumber));
    }
}

bool SessionEngine::ViewOrRun(const RemoteItem& file, FetchedFileAction action) {
    if (!session_ || file.isDirectory()) {
        return false;
    }
    if (DeferBehindKeepAlive([this, file, action] { return ViewOrRun(file, action); })) {
        return true;
    }
    if (!fetchDirectory_ || !fetchDirectory_->isValid()) {
        // Private to this user (QTemporaryDir makes it 0700), and never a predictable name.
        fetchDirectory_ =
            std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tessaly-XXXXXX"));
        if (!fetchDirectory_->isValid()) {
            WriteLog(LogKind::Error, "Cannot make a directory to fetch the file into.");
            return false;
        }
    }
    if (!StartDownloadJob(fetchDirectory_->path())) {
        return false;
    }
    const QByteArray path = JoinRemotePath(session_->currentDirectory, file.name().toByteArray());
    std::unique_ptr<DownloadEntry> entry =
        MakeDownloadEntry(path, file.name().toByteArray(), qint64(file.size()), download_->localBase);
    entry->task->overwrite = true;
    download_->openAfterwards = action;
    view_.AddTaskRow(*entry->task, true);
    download_->entries.push_back(std::move(entry));
    DownloadStep(false);
    return true;
}

void SessionEngine::FailLocally(const QByteArray& reason) {
    download_->localFailure = reason;
    WriteLog(LogKind::Error, reason);
    // The server sees the connection end and answers the RETR; that answer ends the file.
    RetireDataConnection();
}

void SessionEngine::CompleteTransfer(int replyCode) {
    if (!currentTransfer_ || !session_) {
        return;
    }
    if (upload_) {
        CompleteUpload(replyCode);
    } else if (download_) {
        CompleteDownload(replyCode);
    }
}

void SessionEngine::CompleteDownload(int replyCode) {
    TransferTask* task = currentTransfer_;
    meter_.Stop();
    downloadTimer_.stop();
    bool succeeded = replyCode >= 100 && replyCode < 400 && download_->localFailure.isEmpty();
    if (succeeded) {
        // A file of zero bytes has had no data event: it is created (or an old one truncated) now.
        if (!task->localFile && !OpenTransferFile(*task)) {
            download_->localFailure = "Cannot create the local file " + task->localPath.toUtf8() + ".";
            WriteLog(LogKind::Error, download_->localFailure);
        } else {
            if (download_->pendingCr) {
                task->localFile->write("\r", 1); // a lone CR at the very end stays
                ++task->transferred;
            }
            if (!task->localFile->flush()) {
                download_->localFailure = "Cannot write the local file " + task->localPath.toUtf8() + " (" +
                                          task->localFile->errorString().toUtf8() + ").";
                WriteLog(LogKind::Error, download_->localFailure);
            }
        }
        succeeded = download_->localFailure.isEmpty();
    }
    if (!download_->localFailure.isEmpty()) {
        session_->failedCommands.push_back({FailureRecord::Kind::Command, "RETR " + task->remotePath});
        session_->failedCommands.push_back({FailureRecord::Kind::Reply, download_->localFailure});
    }
    const std::optional<FetchedFileAction> open = download_->openAfterwards;
    const QString path = QFileInfo(task->localPath).absoluteFilePath();
    EndFileTransfer(*task, succeeded);
    if (succeeded && open) {
        view_.OpenFetchedFile(path, *open);
    }
}

void SessionEngine::EndFileTransfer(TransferTask& task, bool succeeded) {
    task.localFile.reset();
    session_->speedByteCount = quint64(qMax<qint64>(0, task.transferred - task.startOffset));
    const QByteArray message = succeeded ? FormatReceiveSpeed() : QByteArray();
    if (!succeeded) {
        session_->dataStart.reset();
        session_->dataEnd.reset();
    }
    view_.RemoveTaskRow(0);
    session_->listingMode = true;
    currentTransfer_ = nullptr;
    CloseListener();
    if (!message.isEmpty()) {
        WriteLog(LogKind::Status, message);
        WriteBlankLine();
    }
}

void SessionEngine::ResetJob() {
    download_.reset();
    upload_.reset();
    deletion_.reset();
    walk_ = JobWalk();
    currentTransfer_ = nullptr;
    meter_.Stop();
    downloadTimer_.stop();
    uploadTimer_.stop();
    if (session_) {
        session_->jobRunning = false;
        session_->rememberedConflictChoice = -1;
        session_->listingMode = true;
        session_->pendingDownloadPath.clear();
    }
}

QByteArray SessionEngine::JobBaseDirectory() const {
    return upload_ ? upload_->baseRemoteDirectory : walk_.base;
}

void SessionEngine::FinishJob() {
    if (upload_) {
        FinishUploadJob();
    } else {
        FinishDownloadJob();
    }
}

void SessionEngine::FinishDownloadJob() {
    if (!session_) {
        return;
    }
    const QByteArray base = JobBaseDirectory();
    ResetJob();
    if (!base.isEmpty() && session_->currentDirectory != base) {
        // The job went into directories: the pane's directory is the server's again, and listed.
        session_->currentDirectory = base;
        session_->refreshPending = true;
    }
    view_.SetPaneEnabled(true);
    view_.RefreshLocalPane();
    SequenceFinished();
}

} // namespace tessaly
