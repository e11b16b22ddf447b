#include "panes/LocalListModel.h"

#include "panes/FileTypeInfo.h"

#include <QMimeData>
#include <QUrl>
#include <algorithm>
#include <array>

namespace tessaly {

namespace {

using namespace Qt::StringLiterals;

constexpr std::array<SortedRows::Column, kLocalColumnCount> kColumns = {{
    {u"Name", Qt::AlignLeft},
    {u"Size", Qt::AlignRight},
    {u"Type", Qt::AlignLeft},
    {u"Modified", Qt::AlignLeft},
}};

// What the new-directory row shows: a folder without a name.
const LocalEntry& NewDirectoryEntry() {
    static const LocalEntry entry = [] {
        LocalEntry folder;
        folder.kind = LocalEntry::Kind::Directory;
        folder.typeText = FolderTypeInfo().typeName;
        folder.icon = FolderTypeInfo().icon;
        return folder;
    }();
    return entry;
}

} // namespace

LocalListModel::LocalListModel(QObject* parent) : SortedRows(kColumns, parent) {}

void LocalListModel::SetEntries(LocalListing listing, int column, bool ascending) {
    beginResetModel();
    listing_ = std::move(listing);
    ResetRows(column, ascending);
    endResetModel();
}

void LocalListModel::Clear() {
    SetEntries({}, kLocalNameColumn, true);
}

std::vector<int> LocalListModel::SortSources(int column, bool ascending) const {
    std::vector<const LocalEntry*> entries;
    entries.reserve(std::size_t(SourceCount()));
    for (const LocalEntry& entry : listing_.directories) {
        entries.push_back(&entry);
    }
    for (const LocalEntry& entry : listing_.files) {
        entries.push_back(&entry);
    }
    return SortLocalEntries(entries, column, ascending);
}

void LocalListModel::SetFileSystemRows(bool fileSystem) {
    fileSystemRows_ = fileSystem;
}

const LocalEntry& LocalListModel::SourceEntry(int source) const {
    const int directories = int(listing_.directories.size());
    if (source < directories) {
        return listing_.directories[std::size_t(source)];
    }
    return source < SourceCount() ? listing_.files[std::size_t(source - directories)] : NewDirectoryEntry();
}

QString LocalListModel::SourceText(int source, int column) const {
    const LocalEntry& entry = SourceEntry(source);
    switch (column) {
    case kLocalNameColumn:
        return entry.name;
    case kLocalSizeColumn:
        return entry.IsDirectory() ? QString() : LocalSizeText(entry.size);
    case kLocalTypeColumn:
        return entry.typeText;
    case kLocalModifiedColumn:
        return entry.modified.isValid() ? entry.modified.toString(u"yyyy-MM-dd HH:mm"_s) : QString();
    default:
        return {};
    }
}

bool LocalListModel::IsDirectory(int row) const {
    return SourceEntry(SourceOfRow(row)).IsDirectory();
}

const LocalEntry& LocalListModel::EntryAt(int row) const {
    return SourceEntry(SourceOfRow(row));
}

QString LocalListModel::Name(int row) const {
    return EntryAt(row).name;
}

QString LocalListModel::Path(int row) const {
    return EntryAt(row).path;
}

int LocalListModel::RowOfName(const QString& name) const {
    for (int row = 0; row < rowCount(); ++row) {
        const int source = SourceOfRow(row);
        if (!IsNewDirectorySource(source) && SourceEntry(source).name == name) {
            return row;
        }
    }
    return -1;
}

QString LocalListModel::ColumnText(int row, int column) const {
    return SourceText(SourceOfRow(row), column);
}

QVariant LocalListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kLocalColumnCount) {
        return {};
    }
    const int source = SourceOfRow(index.row());
    const int column = index.column();
    const LocalEntry& entry = SourceEntry(source);
    switch (role) {
    case Qt::DisplayRole:
        return SourceText(source, column);
    case Qt::EditRole:
        return column == kLocalNameColumn ? QVariant(entry.name) : QVariant();
    case Qt::DecorationRole:
        return column == kLocalNameColumn ? QVariant(entry.icon) : QVariant();
    case Qt::ToolTipRole:
        return column == kLocalNameColumn && !entry.path.isEmpty() ? QVariant(entry.path) : QVariant();
    case Qt::TextAlignmentRole:
        // Only where it differs from the view's own: the icon modes centre their labels.
        return column == kLocalSizeColumn ? QVariant((Qt::AlignRight | Qt::AlignVCenter).toInt())
                                          : QVariant();
    case kPathRole:
        return entry.path;
    case kIsDirectoryRole:
        return entry.IsDirectory();
    default:
        return {};
    }
}

Qt::ItemFlags LocalListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (!index.isValid() || !fileSystemRows_) {
        return result;
    }
    if (index.column() == kLocalNameColumn) {
        result |= Qt::ItemIsEditable;
    }
    if (!IsNewDirectoryRow(index.row())) {
        result |= Qt::ItemIsDragEnabled;
    }
    return result;
}

QStringList LocalListModel::mimeTypes() const {
    return {u"text/uri-list"_s};
}

QMimeData* LocalListModel::mimeData(const QModelIndexList& indexes) const {
    std::vector<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && !IsNewDirectoryRow(index.row())) {
            rows.push_back(index.row());
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty()) {
        return nullptr;
    }
    QList<QUrl> urls;
    urls.reserve(qsizetype(rows.size()));
    for (const int row : rows) {
        urls.append(QUrl::fromLocalFile(Path(row)));
    }
    auto* mime = new QMimeData; // the drag takes it
    mime->setUrls(urls);
    return mime;
}

Qt::DropActions LocalListModel::supportedDragActions() const {
    return Qt::CopyAction;
}

} // namespace tessaly
