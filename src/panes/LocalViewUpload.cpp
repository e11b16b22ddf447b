// The local pane's uploads: which of them are offered, and the path Manual upload asks for. What
// is uploaded leaves through uploadRequested; the session engine does the rest.
#include "panes/LocalView.h"
#include "ui/MessageBoxes.h"

#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>

namespace tessaly {

using namespace Qt::StringLiterals;

void CLocalView::SetUploadGate(std::function<bool()> sessionCanUpload) {
    sessionCanUpload_ = std::move(sessionCanUpload);
}

bool CLocalView::CanUpload() const {
    return ShowsRealDirectory() && sessionCanUpload_ && sessionCanUpload_();
}

void CLocalView::AskManualUpload() {
    bool accepted = false;
    const QString typed =
        QInputDialog::getText(this, u"Manual Upload"_s, u"Local path of the file or directory to upload:"_s,
                              QLineEdit::Normal, QString(), &accepted)
            .trimmed();
    // The session may have started something, or the pane moved, while the question was open.
    if (!accepted || !CanUpload()) {
        return;
    }
    const QString path = ResolveLocalPath(Directory(), typed); // empty for empty text
    if (path.isEmpty() || !QFileInfo::exists(path)) {
        ShowWarning(this, u"You must input the file's full path or base on the local path!"_s);
        return;
    }
    emit uploadRequested({path});
}

} // namespace tessaly
