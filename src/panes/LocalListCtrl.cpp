#include "panes/LocalListCtrl.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>

namespace tessaly {

namespace {

// Per column, a text as wide as most of what it shows.
constexpr const char16_t* kWidestTexts[kLocalColumnCount] = {u"", u"9999999 KB", u"", u"0000-00-00 00:00"};

} // namespace

CLocalListCtrl::CLocalListCtrl(QWidget* parent) : QTreeView(parent), model_(this) {
    setModel(&model_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideRight);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setSortingEnabled(false);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setAcceptDrops(false);

    QHeaderView* top = header();
    top->setSectionsClickable(true);
    top->setSortIndicatorShown(true);
    top->setSortIndicator(kLocalNameColumn, Qt::AscendingOrder);
    top->setStretchLastSection(false);
    top->setSectionsMovable(false);
    top->setHighlightSections(false);
    // The widths, widened where the font would cut the longest usual text short.
    const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 8;
    for (int column = 0; column < kLocalColumnCount; ++column) {
        const int needed =
            fontMetrics().horizontalAdvance(QString::fromUtf16(kWidestTexts[column])) + padding;
        setColumnWidth(column, std::max(kColumnWidths[column], needed));
    }
}

std::vector<int> CLocalListCtrl::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int CLocalListCtrl::FirstSelectedRow() const {
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), {})) {
        return current.row();
    }
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

void CLocalListCtrl::SelectRow(int row) {
    if (row < 0 || row >= model_.rowCount()) {
        return;
    }
    const QModelIndex index = model_.index(row, kLocalNameColumn);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

QRect CLocalListCtrl::RowRect(int row) const {
    return visualRect(model_.index(row, kLocalNameColumn));
}

} // namespace tessaly
