#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace tessaly {

// What the user may do with a file whose target exists already.
enum class ConflictChoice { Ignore = 0, Overwrite = 1, Resume = 2, Rename = 3 };

// The "File Confirmation" question: the local file always in the upper block, the remote one in the
// lower, for uploads as for downloads.
struct ConflictQuestion {
    QString localName;     // the task's local path
    QString localSize;     // "%d byte"
    QString localDate;     // "%.4d-%.2d-%.2d %.2d:%.2d:%.2d"
    QByteArray remoteName; // "ftp://", the host and the remote path, as bytes
    QString remoteSize;    // "%d byte"
    QString remoteDate;    // as the local date; "<Unknow>" for a download by path; empty for an upload
    qint64 localSizeValue = 0;
    qint64 remoteSizeValue = 0;
    bool resumePossible = false; // the server supports REST
    bool upload = false;         // the remote file is the target (else the local one)
};

struct ConflictAnswer {
    bool cancelled = true; // cancel the whole job
    ConflictChoice choice = ConflictChoice::Ignore;
    bool remember = false; // apply the choice to the job's later conflicts
};

// The button the question proposes and whether "Resume" can be pressed: equal sizes propose
// "Ignore", different sizes "Resume"; without REST support, or when the target is already larger
// than the source (nothing is left to resume), "Resume" is disabled and "Overwrite" proposed instead
// of it.
struct ConflictDefault {
    ConflictChoice choice;
    bool resumeEnabled;
};
ConflictDefault DefaultConflictChoice(const ConflictQuestion& question);

// "%d byte" of a size.
QString ConflictSizeText(qint64 size);
// "yyyy-MM-dd HH:mm:ss" of a modification time.
QString ConflictDateText(const QDateTime& time);

} // namespace tessaly
