#pragma once

#include "session/EngineView.h"
#include "session/JobWalk.h"
#include "transfer/TransferTask.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace tessaly {

// One file or directory of a download job. The entry owns its task; the task list's row only refers
// to it. A directory's task names the local directory its contents go into.
struct DownloadEntry {
    QByteArray remotePath;
    QByteArray name; // as the server gave it: the listing's name, or the path's last part
    bool isDirectory = false;
    bool isLink = false; // a link, listed like a directory: fetched as a file when CWD refuses it
    int depth = 0;       // directories above it inside the job
    std::unique_ptr<TransferTask> task;
};

// The files a download job still has to fetch, head first, and the one it fetches now.
struct DownloadJob {
    std::deque<std::unique_ptr<DownloadEntry>> entries;
    std::unique_ptr<DownloadEntry> current;
    QString localBase; // where the files go
    // localBase made absolute and clean, with a trailing slash: what every local path starts with.
    QString localBasePrefix;
    bool asciiConversion = false;    // the current file comes in TYPE A: CR LF becomes LF
    bool pendingCr = false;          // a CR ended the last chunk of an ASCII transfer
    std::vector<char> receiveBuffer; // what one readable event reads, before it goes to the file
    QByteArray localFailure;         // why the current file failed on this side, if it did
    // A file fetched to be viewed or run is opened so once it has arrived.
    std::optional<FetchedFileAction> openAfterwards;
};

// "TYPE A" or "TYPE I" for a remote path: "TransferType" 1 (automatic) is ASCII when the text after
// the path's last full stop, upper-cased and followed by a comma, stands in "ExtendsionList"
// followed by a comma; 2 is always ASCII; anything else binary.
QByteArray TransferTypeCommand(const QByteArray& remotePath, int transferType, const QString& extensionList);

// Why a name from the server cannot become a local file name (empty, ".", "..", or holding "/",
// "\" or a NUL byte), or nothing when it can.
QByteArray UnsafeLocalNameReason(const QByteArray& name);

// Turns each CR LF of an ASCII transfer's chunk into LF; a CR at the chunk's end waits in pendingCr
// for the next chunk (or the end, where it is kept as it is).
QByteArray ConvertAsciiChunk(const char* data, qint64 length, bool& pendingCr);

} // namespace tessaly
