#pragma once

#include <QAbstractTableModel>
#include <span>
#include <vector>

namespace tessaly {

// The rows of a pane's list: the model's sources (numbered 0 to SourceCount() - 1) shown in a sorted
// order. Sorting reorders a vector of source numbers, never the sources themselves.
//
// Besides the sources there may be one row for a directory being created, source SourceCount(); it
// always comes last. The columns are fixed: each has a title and an alignment.
class SortedRows : public QAbstractTableModel {
    Q_OBJECT
public:
    struct Column {
        const char16_t* title;
        Qt::Alignment alignment;
    };

    // Sorts the rows by column; selections and the current row stay on the same sources.
    void SortRows(int column, bool ascending);

    // Adds the new-directory row at the end (once) and returns its row.
    int AppendNewDirectoryRow();
    void RemoveNewDirectoryRow();
    bool IsNewDirectoryRow(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

protected:
    SortedRows(std::span<const Column> columns, QObject* parent);

    virtual int SourceCount() const = 0;
    // Every source number once, in the order column sorts them.
    virtual std::vector<int> SortSources(int column, bool ascending) const = 0;

    // The rows become the sources sorted by column, without a new-directory row. Called between
    // beginResetModel and endResetModel.
    void ResetRows(int column, bool ascending);
    bool IsNewDirectorySource(int source) const { return source == SourceCount(); }
    // The source shown at row, which must be a row.
    int SourceOfRow(int row) const { return order_[std::size_t(row)]; }

private:
    std::vector<int> SortedOrder(int column, bool ascending) const;

    std::span<const Column> columns_;
    std::vector<int> order_; // order_[row] is the source shown at row
    bool hasNewDirectory_ = false;
};

} // namespace tessaly
