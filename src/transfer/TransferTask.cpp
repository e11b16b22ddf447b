#include "transfer/TransferTask.h"

namespace tessaly {

TransferTask::TransferTask() : queuedTime(QDateTime::currentDateTime()) {
    queuedClock.start();
}

TransferTask::~TransferTask() = default; // the QFile closes itself

bool OpenTransferFile(TransferTask& task) {
    if (task.localFile && task.localFile->isOpen()) {
        return true;
    }
    auto file = std::make_unique<QFile>(task.localPath);
    const bool resume = task.exists && task.startOffset != 0 && task.restSupported;
    if (task.upload) {
        if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered) || (resume && !file->seek(task.startOffset))) {
            return false;
        }
    } else {
        // A download that does not resume writes the file afresh: written over from its start
        // without being cut, an old file's longer tail would stay behind the new contents.
        // Unbuffered: the receive pump hands over large blocks, which a buffer would only copy.
        const QIODevice::OpenMode mode =
            QIODevice::WriteOnly | QIODevice::Unbuffered | (resume ? QIODevice::Append : QIODevice::Truncate);
        if (!file->open(mode)) {
            return false;
        }
    }
    task.localFile = std::move(file);
    return true;
}

} // namespace tessaly
