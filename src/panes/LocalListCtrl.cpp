#include "panes/LocalListCtrl.h"

namespace tessaly {

namespace {

// Per column, a text as wide as most of what it shows.
constexpr const char16_t* kWidestTexts[kLocalColumnCount] = {u"", u"9999999 KB", u"", u"0000-00-00 00:00"};

} // namespace

CLocalListCtrl::CLocalListCtrl(QWidget* parent) : CLCCListCtrl(parent), model_(this) {
    setDragEnabled(true);
    setDefaultDropAction(Qt::CopyAction);
    SetUpColumns(model_, kLocalNameColumn, kColumnWidths, kWidestTexts);
}

void CLocalListCtrl::SelectRow(int row) {
    if (row < 0 || row >= model_.rowCount()) {
        return;
    }
    const QModelIndex index = model_.index(row, kLocalNameColumn);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

} // namespace tessaly
