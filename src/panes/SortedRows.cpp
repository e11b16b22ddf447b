#include "panes/SortedRows.h"

namespace tessaly {

SortedRows::SortedRows(std::span<const Column> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(columns) {}

void SortedRows::ResetRows(int column, bool ascending) {
    hasNewDirectory_ = false;
    order_ = SortedOrder(column, ascending);
}

std::vector<int> SortedRows::SortedOrder(int column, bool ascending) const {
    std::vector<int> order = SortSources(column, ascending);
    if (hasNewDirectory_) {
        order.push_back(SourceCount());
    }
    return order;
}

void SortedRows::SortRows(int column, bool ascending) {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<int> sources;
    sources.reserve(std::size_t(before.size()));
    for (const QModelIndex& index : before) {
        sources.push_back(order_[std::size_t(index.row())]);
    }
    order_ = SortedOrder(column, ascending);
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

int SortedRows::AppendNewDirectoryRow() {
    if (!hasNewDirectory_) {
        const int row = int(order_.size());
        beginInsertRows({}, row, row);
        hasNewDirectory_ = true;
        order_.push_back(SourceCount());
        endInsertRows();
    }
    return int(order_.size()) - 1;
}

void SortedRows::RemoveNewDirectoryRow() {
    if (hasNewDirectory_) {
        const int row = int(order_.size()) - 1;
        beginRemoveRows({}, row, row);
        hasNewDirectory_ = false;
        order_.pop_back();
        endRemoveRows();
    }
}

bool SortedRows::IsNewDirectoryRow(int row) const {
    return row >= 0 && std::size_t(row) < order_.size() && IsNewDirectorySource(order_[std::size_t(row)]);
}

int SortedRows::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(order_.size());
}

int SortedRows::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant SortedRows::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || std::size_t(section) >= columns_.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf16(columns_[std::size_t(section)].title);
    }
    if (role == Qt::TextAlignmentRole) {
        return (columns_[std::size_t(section)].alignment | Qt::AlignVCenter).toInt();
    }
    return {};
}

void SortedRows::sort(int column, Qt::SortOrder order) {
    SortRows(column, order == Qt::AscendingOrder);
}

} // namespace tessaly
