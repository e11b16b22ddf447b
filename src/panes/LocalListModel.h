#pragma once

#include "panes/LocalEntry.h"
#include "panes/SortedRows.h"

#include <QString>
#include <vector>

namespace tessaly {

// The rows of the local list: the entries of one directory (or of the top-level view), directories
// before files, shown in a sorted order. Sorting reorders a vector of row numbers, never the
// entries.
//
// Besides the entries there may be one row for a directory being created: it has no entry, an
// empty name and the folder's icon, and always comes last.
class LocalListModel : public SortedRows {
    Q_OBJECT
public:
    // The entry's full path (empty for the new-directory row), in every column.
    static constexpr int kPathRole = Qt::UserRole + 1;
    // True for directory rows (the new-directory row and the top-level entries included).
    static constexpr int kIsDirectoryRole = Qt::UserRole + 2;

    explicit LocalListModel(QObject* parent = nullptr);

    // Replaces the rows by the listing's entries sorted by column.
    void SetEntries(LocalListing listing, int column, bool ascending);
    void Clear();

    // File-system rows: names may be edited in place and rows dragged out as files. Off for the
    // top-level view.
    void SetFileSystemRows(bool fileSystem);

    bool IsDirectory(int row) const;
    // The entry shown at row; row must not be the new-directory row.
    const LocalEntry& EntryAt(int row) const;
    // Empty for the new-directory row.
    QString Name(int row) const;
    QString Path(int row) const;
    // The row showing the entry of that name (compared exactly), or -1.
    int RowOfName(const QString& name) const;
    // The text row shows in column.
    QString ColumnText(int row, int column) const;

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A drag of rows carries their paths as local file URLs (text/uri-list).
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

private:
    // Rows refer to entries by source number: directories first, then files, then the
    // new-directory row.
    int SourceCount() const override { return int(listing_.directories.size() + listing_.files.size()); }
    const LocalEntry& SourceEntry(int source) const;
    QString SourceText(int source, int column) const;
    std::vector<int> SortSources(int column, bool ascending) const override;

    LocalListing listing_;
    bool fileSystemRows_ = false;
};

} // namespace tessaly
