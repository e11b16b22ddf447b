#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <memory>

namespace tessaly {

// The columns of the task list.
enum class TaskColumn { Local = 0, Size = 1, Transferring = 2, Progress = 3, Elapse = 4, Remote = 5 };

// One file or directory of a download or upload job: one row of the task list. The job entry that
// queued it owns it; the task list's row only refers to it, so a task is deleted exactly once,
// whenever the job or the session ends. Sizes, offsets and counts are 64-bit: files of 4 GiB and
// more move like any other.
struct TransferTask {
    TransferTask();
    ~TransferTask(); // closes the local file
    TransferTask(const TransferTask&) = delete;
    TransferTask& operator=(const TransferTask&) = delete;

    QByteArray host; // copied from the session when queued
    QByteArray user;
    QByteArray password;
    quint16 port = 21;
    bool restSupported = false; // the server accepted "REST 100" during the probe
    bool exists = false;        // download: the local file exists; upload: the remote file does
    QByteArray displayName;     // the file name, as the server spells it
    QString localPath;
    QByteArray remotePath;  // bytes, as the server spells them
    qint64 totalSize = 0;   // bytes to move in all
    qint64 transferred = 0; // bytes moved so far, counted from the start of the file
    qint64 startOffset = 0; // the resume point; 0 unless the conflict choice was resume
    bool upload = false;
    bool overwrite = false;           // download: an existing local file is truncated
    bool directory = false;           // a directory of the job: its row shows no size
    QDateTime queuedTime;             // when the task was made, for display
    QElapsedTimer queuedClock;        // started when the task was made: elapsed times never run backwards
    bool progressShown = false;       // row 0 shows the progress bar (the transfer has started)
    std::unique_ptr<QFile> localFile; // open from the first data event until the transfer ends

    // The text of the task list's "Remote" cell: the host followed directly by the remote path.
    QByteArray RemoteText() const { return host + remotePath; }
};

// Opens the task's local file for the transfer, unless it is open already:
//  - upload: read only; with exists, a start offset and REST supported, read from the start offset;
//  - download: write, created when missing; with exists, a start offset and REST supported, the
//    file is appended to (the resume); otherwise it is written afresh.
// False when the file cannot be opened: the task then has no file, and nothing is written or sent
// for it.
bool OpenTransferFile(TransferTask& task);

} // namespace tessaly
