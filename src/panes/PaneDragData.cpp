#include "panes/PaneDragData.h"

#include <QFile>
#include <QUrl>

namespace tessaly {

PaneDragData::PaneDragData(CFileListView& source, int command) : source_(&source), command_(command) {
    setData(QString(kMimeType), QByteArray());
}

const PaneDragData* PaneDragData::From(const QMimeData* mime) {
    return qobject_cast<const PaneDragData*>(mime);
}

bool PaneDragData::SourceMayAct() const {
    return source_ != nullptr && source_->HandlesCommand(command_) && source_->IsCommandEnabled(command_);
}

void PaneDragData::AskSourceToAct() const {
    if (source_ == nullptr) {
        return;
    }
    CFileListView* pane = source_.data();
    QMetaObject::invokeMethod(
        pane, [pane, id = command_] { pane->RunCommand(id); }, Qt::QueuedConnection);
}

QStringList LocalFilePathsOf(const QMimeData* mime) {
    // PATH_MAX on Linux: no longer path names a file.
    constexpr qsizetype kMaxPathBytes = 4096;
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        if (!path.isEmpty() && QFile::encodeName(path).size() < kMaxPathBytes) {
            paths.append(path);
        }
    }
    return paths;
}

} // namespace tessaly
