#pragma once

#include "panes/FileListView.h"

#include <QLatin1StringView>
#include <QMimeData>
#include <QPointer>
#include <QStringList>

namespace tessaly {

// What rows dragged out of a pane's list carry: nothing another program could take (one MIME type
// of this program's own, no file list, no text), only the pane they came from and the command that
// acts on that pane's selection. The pane that takes the drop asks the source pane to run it.
class PaneDragData : public QMimeData {
    Q_OBJECT
public:
    static constexpr QLatin1StringView kMimeType{"application/x-tessaly-pane-rows"};

    PaneDragData(CFileListView& source, int command);

    // The drag data of one of this program's panes, or null: files, text, another program's drag.
    static const PaneDragData* From(const QMimeData* mime);

    // The pane the rows came from; null once it has gone.
    const CFileListView* Source() const { return source_.data(); }
    // The source pane is there and its command is enabled now.
    bool SourceMayAct() const;
    // Posts the command to the source pane: it runs once the drop has returned to the event loop,
    // so a question it asks never opens inside the drop.
    void AskSourceToAct() const;

private:
    QPointer<CFileListView> source_;
    int command_;
};

// The local files and directories a drop or the clipboard holds as file URLs (text/uri-list), in
// their order. Other URLs, and paths longer than any the file system takes, are left out.
QStringList LocalFilePathsOf(const QMimeData* mime);

} // namespace tessaly
