#pragma once

#include "transfer/TransferTask.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <deque>
#include <memory>
#include <vector>

namespace tessaly {

// Where a file of an upload job stands.
enum class UploadStage {
    AskSize = 1, // SIZE has not been asked yet
    Ready = 2,   // ready to be sent (after the conflict question when the remote file exists)
    Sent = 3     // the STOR sequence went out, or the file was skipped or refused
};

// One local file or directory of an upload job. The entry owns its task; the task list's row only
// refers to it.
struct UploadEntry {
    QString localPath;
    QByteArray remotePath;
    bool isDirectory = false;
    UploadStage stage = UploadStage::AskSize;
    bool directoryCreated = false; // MKD made this directory: its files need no SIZE
    std::unique_ptr<TransferTask> task;
};

// The local files and directories an upload job still has to send, head first, and the one it
// sends now.
struct UploadJob {
    std::deque<std::unique_ptr<UploadEntry>> entries;
    std::unique_ptr<UploadEntry> current;
    QByteArray baseRemoteDirectory; // the directory shown when the job started
    QByteArray remoteTarget;        // where the files go
    bool asciiConversion = false;   // the current file goes in TYPE A: LF becomes CR LF
    bool lastWasCr = false;         // the last byte converted was a CR
    bool dataReady = false;         // the data connection of the current file is there
    bool transferStarted = false;   // the server has taken the STOR (its 125 or 150 came)
    bool reachedEnd = false;        // the whole of the current file has gone to the data connection
    QByteArray localFailure;        // why the current file failed on this side, if it did
    QByteArray unsent;              // the block being sent, as it goes on the wire
    qsizetype unsentOffset = 0;     // how much of it the socket has taken
    qint64 unsentFileBytes = 0;     // how many bytes of the file the block stands for
    QByteArray readBuffer;          // a text file's block before its line ends are converted
    QSet<QString> visited;          // the local directories expanded so far, by their canonical paths
    bool pumpScheduled = false;     // a continuation of the send pump waits in the event loop
};

// Turns each LF of a text file's chunk into CR LF, as TYPE A sends lines; a CR LF that is there
// already stays as it is (a CR at the chunk's end is remembered in lastWasCr).
QByteArray ToNetworkLineEnds(const char* data, qint64 length, bool& lastWasCr);

} // namespace tessaly
