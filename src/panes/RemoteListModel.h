#pragma once

#include "listing/ListingParser.h"
#include "listing/RemoteItem.h"
#include "panes/FileTypeInfo.h"
#include "panes/SortedRows.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace tessaly {

class CFileListView;

// The rows of the remote list: the items of one listing, directories then files as the listing
// gave them, shown in a sorted order. Sorting reorders a vector of row numbers, never the items,
// which stay in the (implicitly shared) lists the listing came in.
//
// Besides the items there may be one row for a directory being created: it has no item, an empty
// name and the folder's icon, and always comes last.
class RemoteListModel : public SortedRows {
    Q_OBJECT
public:
    // The name as the server sent it (QByteArray), in every column.
    static constexpr int kNameBytesRole = Qt::UserRole + 1;
    // True for directory rows (the new-directory row included).
    static constexpr int kIsDirectoryRole = Qt::UserRole + 2;

    explicit RemoteListModel(QObject* parent = nullptr);

    // Replaces the rows by the listing's items sorted by column.
    void SetItems(const ListingItems& items, int column, bool ascending);
    // No rows at all.
    void Clear();

    // Whether the name column may be edited in place.
    void SetNamesEditable(bool editable);
    // Rows dragged out name this pane and the command that acts on its selection (PaneDragData).
    // Without a source nothing is dragged.
    void SetDragSource(CFileListView* pane, int command);

    bool IsDirectory(int row) const;
    // The name's bytes as received (empty for the new-directory row).
    QByteArray NameBytes(int row) const;
    QString DisplayName(int row) const;
    // The item shown at row; row must be a row with an item.
    const RemoteItem& ItemAt(int row) const;
    // The text row shows in column.
    QString ColumnText(int row, int column) const;

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A drag of rows carries PaneDragData, and offers only to copy.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    // Rows refer to items by source number: directories first, then files, then the
    // new-directory row.
    int SourceCount() const override { return int(directories_.size() + files_.size()); }
    bool SourceIsDirectory(int source) const;
    const RemoteItem& SourceItem(int source) const;
    QString SourceName(int source) const;
    QString SourceText(int source, int column) const;
    const FileTypeInfo& SourceType(int source) const;
    std::vector<int> SortSources(int column, bool ascending) const override;

    QList<RemoteItem> directories_;
    QList<RemoteItem> files_;
    bool namesEditable_ = false;
    CFileListView* dragSource_ = nullptr; // the pane that owns the list, and so this model
    int dragCommand_ = 0;
    mutable std::vector<const FileTypeInfo*> types_; // by source, looked up when first shown
};

} // namespace tessaly
