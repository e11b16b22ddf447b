#include "panes/RemoteListModel.h"

#include "panes/PaneDragData.h"
#include "panes/RemoteSort.h"

#include <algorithm>
#include <array>

namespace tessaly {

namespace {

constexpr std::array<SortedRows::Column, kRemoteColumnCount> kColumns = {{
    {u"Name", Qt::AlignLeft},
    {u"Size", Qt::AlignRight},
    {u"Modified", Qt::AlignLeft},
    {u"Permission", Qt::AlignLeft},
    {u"Type", Qt::AlignLeft},
}};

QString FromBytes(QByteArrayView bytes) {
    return QString::fromUtf8(bytes.data(), bytes.size());
}

} // namespace

RemoteListModel::RemoteListModel(QObject* parent) : SortedRows(kColumns, parent) {}

void RemoteListModel::SetItems(const ListingItems& items, int column, bool ascending) {
    beginResetModel();
    directories_ = items.directories;
    files_ = items.files;
    types_.assign(std::size_t(SourceCount()), nullptr);
    ResetRows(column, ascending);
    endResetModel();
}

void RemoteListModel::Clear() {
    beginResetModel();
    directories_.clear();
    files_.clear();
    types_.clear();
    ResetRows(kRemoteNameColumn, true);
    endResetModel();
}

std::vector<int> RemoteListModel::SortSources(int column, bool ascending) const {
    const RemoteSortKind kind = SortKindOfColumn(column);
    std::vector<RemoteSortKey> keys;
    keys.reserve(std::size_t(SourceCount()));
    for (int source = 0; source < SourceCount(); ++source) {
        const RemoteItem& item = SourceItem(source);
        const bool directory = SourceIsDirectory(source);
        QString name;
        QString text;
        if (kind != RemoteSortKind::Size) { // sizes need no texts
            name = column == kRemoteNameColumn || directory ? SourceName(source) : QString();
            text = column == kRemoteNameColumn ? name : SourceText(source, column);
        }
        keys.push_back(MakeRemoteSortKey(column, directory, item.size(), item.modified(), name, text));
    }
    return SortRemoteRows(keys, kind, ascending);
}

void RemoteListModel::SetNamesEditable(bool editable) {
    namesEditable_ = editable;
}

void RemoteListModel::SetDragSource(CFileListView* pane, int command) {
    dragSource_ = pane;
    dragCommand_ = command;
}

bool RemoteListModel::SourceIsDirectory(int source) const {
    return source < directories_.size() || IsNewDirectorySource(source);
}

const RemoteItem& RemoteListModel::SourceItem(int source) const {
    static const RemoteItem kNone;
    if (source < directories_.size()) {
        return directories_.at(source);
    }
    return source < SourceCount() ? files_.at(source - directories_.size()) : kNone;
}

QString RemoteListModel::SourceName(int source) const {
    return FromBytes(SourceItem(source).name());
}

const FileTypeInfo& RemoteListModel::SourceType(int source) const {
    if (SourceIsDirectory(source)) {
        return FolderTypeInfo();
    }
    const FileTypeInfo*& type = types_[std::size_t(source)];
    if (type == nullptr) {
        type = &FileTypeInfoForName(SourceName(source));
    }
    return *type;
}

QString RemoteListModel::SourceText(int source, int column) const {
    if (IsNewDirectorySource(source)) {
        return column == kRemoteTypeColumn ? FolderTypeInfo().typeName : QString();
    }
    const RemoteItem& item = SourceItem(source);
    switch (column) {
    case kRemoteNameColumn:
        return SourceName(source);
    case kRemoteSizeColumn:
        return SourceIsDirectory(source) ? QString() : QString::fromLatin1(item.sizeText());
    case kRemoteModifiedColumn: {
        const QByteArrayView date = item.dateText();
        const QByteArrayView time = item.timeText();
        QString text = QString::fromLatin1(date.data(), date.size());
        text += u' ';
        text += QLatin1StringView(time.data(), time.size());
        return text;
    }
    case kRemotePermissionColumn:
        return FromBytes(item.permissionText());
    case kRemoteTypeColumn:
        return SourceType(source).typeName;
    default:
        return {};
    }
}

bool RemoteListModel::IsDirectory(int row) const {
    return SourceIsDirectory(SourceOfRow(row));
}

QByteArray RemoteListModel::NameBytes(int row) const {
    return SourceItem(SourceOfRow(row)).name().toByteArray();
}

QString RemoteListModel::DisplayName(int row) const {
    return SourceName(SourceOfRow(row));
}

const RemoteItem& RemoteListModel::ItemAt(int row) const {
    return SourceItem(SourceOfRow(row));
}

QString RemoteListModel::ColumnText(int row, int column) const {
    return SourceText(SourceOfRow(row), column);
}

QVariant RemoteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kRemoteColumnCount) {
        return {};
    }
    const int source = SourceOfRow(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return SourceText(source, column);
    case Qt::EditRole:
        return column == kRemoteNameColumn ? QVariant(SourceName(source)) : QVariant();
    case Qt::DecorationRole:
        return column == kRemoteNameColumn ? QVariant(SourceType(source).icon) : QVariant();
    case Qt::TextAlignmentRole:
        // Only where it differs from the view's own: the icon modes centre their labels.
        return column == kRemoteSizeColumn ? QVariant((Qt::AlignRight | Qt::AlignVCenter).toInt())
                                           : QVariant();
    case kNameBytesRole:
        return SourceItem(source).name().toByteArray();
    case kIsDirectoryRole:
        return SourceIsDirectory(source);
    default:
        return {};
    }
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (!index.isValid()) {
        return result;
    }
    if (index.column() == kRemoteNameColumn && namesEditable_) {
        result |= Qt::ItemIsEditable;
    }
    if (dragSource_ != nullptr && !IsNewDirectoryRow(index.row())) {
        result |= Qt::ItemIsDragEnabled;
    }
    return result;
}

QMimeData* RemoteListModel::mimeData(const QModelIndexList& indexes) const {
    const bool anyItem = std::any_of(indexes.begin(), indexes.end(), [this](const QModelIndex& index) {
        return index.isValid() && index.row() < rowCount() && !IsNewDirectoryRow(index.row());
    });
    if (dragSource_ == nullptr || !anyItem) {
        return nullptr;
    }
    // The rows themselves are not carried: the source pane acts on its selection, which the drag
    // started from.
    return new PaneDragData(*dragSource_, dragCommand_); // the drag takes it
}

Qt::DropActions RemoteListModel::supportedDragActions() const {
    return Qt::CopyAction;
}

} // namespace tessaly
