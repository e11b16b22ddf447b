#pragma once

#include <QRect>
#include <QTreeView>
#include <span>
#include <vector>

class QAbstractItemModel;

namespace tessaly {

// The detail list both panes share: one row per entry, extended row selection, no grid, no tree
// decoration, no editing but what the pane starts. Sorting is the pane's business: the header only
// reports clicks and shows the indicator it is given.
class CLCCListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CLCCListCtrl(QWidget* parent = nullptr);

    // The rows with a selection, in row order, each once.
    std::vector<int> SelectedRows() const;
    // Exactly one row has a selection; stops at the second row, so it is cheap with every row
    // selected (the main window asks whenever it updates its commands).
    bool HasSingleSelectedRow() const;
    // The current row when it is selected, otherwise the first selected row; -1 when none is.
    int FirstSelectedRow() const;
    // The rectangle of a row's name cell in viewport coordinates (for tests and menus).
    QRect RowRect(int row) const;

protected:
    // Shows model with the sort indicator on the name column; each column starts as wide as its
    // width, or wider where the font needs it for the column's widest usual text.
    void SetUpColumns(QAbstractItemModel& model, int nameColumn, std::span<const int> widths,
                      std::span<const char16_t* const> widestTexts);

private:
    int nameColumn_ = 0;
};

} // namespace tessaly
