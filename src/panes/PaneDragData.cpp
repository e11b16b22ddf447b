#include "panes/PaneDragData.h"

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

} // namespace tessaly
