#include "panes/RemoteListModel.h"

#include "panes/RemoteSort.h"

#include <array>

namespace tessaly {

namespace {

struct ColumnInfo {
    const char16_t* title;
    Qt::Alignment alignment;
};

constexpr std::array<ColumnInfo, kRemoteColumnCount> kColumns = {{
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

RemoteListModel::RemoteListModel(QObject* parent) : QAbstractTableModel(parent) {}

void RemoteListModel::SetItems(const ListingItems& items, int column, bool ascending) {
    beginResetModel();
    directories_ = items.directories;
    files_ = items.files;
    hasNewDirectory_ = false;
    types_.assign(std::size_t(SourceCount()), nullptr);
    order_ = SortedSources(column, ascending);
    endResetModel();
}

void RemoteListModel::Clear() {
    beginResetModel();
    directories_.clear();
    files_.clear();
    hasNewDirectory_ = false;
    types_.clear();
    order_.clear();
    endResetModel();
}

void RemoteListModel::SortRows(int column, bool ascending) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before) {
        sources.push_back(order_[std::size_t(index.row())]);
    }
    order_ = SortedSources(column, ascending);
    std::vector<int> rowOfSource(order_.size());
    for (std::size_t row = 0; row < order_.size(); ++row) {
        rowOfSource[std::size_t(order_[row])] = int(row);
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) {
        after.append(index(rowOfSource[std::size_t(sources[std::size_t(i)])], before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

std::vector<int> RemoteListModel::SortedSources(int column, bool ascending) const {
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
    std::vector<int> order = SortRemoteRows(keys, kind, ascending);
    if (hasNewDirectory_) {
        order.push_back(SourceCount());
    }
    return order;
}

int RemoteListModel::AppendNewDirectoryRow() {
    if (!hasNewDirectory_) {
        const int row = int(order_.size());
        beginInsertRows({}, row, row);
        hasNewDirectory_ = true;
        order_.push_back(SourceCount());
        endInsertRows();
    }
    return int(order_.size()) - 1;
}

void RemoteListModel::RemoveNewDirectoryRow() {
    if (hasNewDirectory_) {
        const int row = int(order_.size()) - 1;
        beginRemoveRows({}, row, row);
        hasNewDirectory_ = false;
        order_.pop_back();
        endRemoveRows();
    }
}

bool RemoteListModel::IsNewDirectoryRow(int row) const {
    return row >= 0 && std::size_t(row) < order_.size() && IsNewDirectorySource(order_[std::size_t(row)]);
}

void RemoteListModel::SetNamesEditable(bool editable) {
    namesEditable_ = editable;
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
    return SourceIsDirectory(order_[std::size_t(row)]);
}

QByteArray RemoteListModel::NameBytes(int row) const {
    return SourceItem(order_[std::size_t(row)]).name().toByteArray();
}

QString RemoteListModel::DisplayName(int row) const {
    return SourceName(order_[std::size_t(row)]);
}

const RemoteItem& RemoteListModel::ItemAt(int row) const {
    return SourceItem(order_[std::size_t(row)]);
}

QString RemoteListModel::ColumnText(int row, int column) const {
    return SourceText(order_[std::size_t(row)], column);
}

int RemoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(order_.size());
}

int RemoteListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRemoteColumnCount;
}

QVariant RemoteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= kRemoteColumnCount) {
        return {};
    }
    const int source = order_[std::size_t(index.row())];
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

QVariant RemoteListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kRemoteColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf16(kColumns[std::size_t(section)].title);
    }
    if (role == Qt::TextAlignmentRole) {
        return (kColumns[std::size_t(section)].alignment | Qt::AlignVCenter).toInt();
    }
    return {};
}

Qt::ItemFlags RemoteListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == kRemoteNameColumn && namesEditable_) {
        result |= Qt::ItemIsEditable;
    }
    return result;
}

void RemoteListModel::sort(int column, Qt::SortOrder order) {
    SortRows(column, order == Qt::AscendingOrder);
}

} // namespace tessaly
