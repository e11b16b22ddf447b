#pragma once

#include <QByteArray>
#include <deque>
#include <memory>

namespace tessaly {

// One remote file or directory of a delete job. A link is deleted as a file: the job never goes
// into one, so nothing outside the selected tree is deleted.
struct DeleteEntry {
    QByteArray remotePath;
    QByteArray name; // as the server gave it
    bool isDirectory = false;
    bool contentsQueued = false; // its contents stand before it in the list: it is removed next
    int depth = 0;               // directories above it inside the job
};

// The entries a delete job still has to remove, head first: a directory's contents come before it.
struct DeleteJob {
    std::deque<std::unique_ptr<DeleteEntry>> entries;
    std::unique_ptr<DeleteEntry> current; // the directory being listed
};

} // namespace tessaly
