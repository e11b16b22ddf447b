#include "panes/LCCListCtrl.h"

#include <QHeaderView>
#include <QStyle>
#include <algorithm>

namespace tessaly {

CLCCListCtrl::CLCCListCtrl(QWidget* parent) : QTreeView(parent) {
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
}

void CLCCListCtrl::SetUpColumns(QAbstractItemModel& model, int nameColumn, std::span<const int> widths,
                                std::span<const char16_t* const> widestTexts) {
    nameColumn_ = nameColumn;
    setModel(&model);
    QHeaderView* top = header();
    top->setSectionsClickable(true);
    top->setSortIndicatorShown(true);
    top->setSortIndicator(nameColumn, Qt::AscendingOrder);
    top->setStretchLastSection(false);
    top->setSectionsMovable(false);
    top->setHighlightSections(false);
    // The widths, widened where the font would cut the longest usual text short.
    const int padding = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 8;
    for (std::size_t column = 0; column < widths.size(); ++column) {
        const char16_t* widest = column < widestTexts.size() ? widestTexts[column] : u"";
        const int needed = fontMetrics().horizontalAdvance(QString::fromUtf16(widest)) + padding;
        setColumnWidth(int(column), std::max(widths[column], needed));
    }
}

std::vector<int> CLCCListCtrl::SelectedRows() const {
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

bool CLCCListCtrl::HasSingleSelectedRow() const {
    int selected = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            if (selected >= 0 && row != selected) {
                return false;
            }
            selected = row;
        }
    }
    return selected >= 0;
}

int CLCCListCtrl::FirstSelectedRow() const {
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isRowSelected(current.row(), {})) {
        return current.row();
    }
    const std::vector<int> rows = SelectedRows();
    return rows.empty() ? -1 : rows.front();
}

QRect CLCCListCtrl::RowRect(int row) const {
    return model() == nullptr ? QRect() : visualRect(model()->index(row, nameColumn_));
}

} // namespace tessaly
