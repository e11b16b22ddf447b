#pragma once

#include "panes/LocalListModel.h"

#include <QTreeView>
#include <vector>

namespace tessaly {

// The local pane's list in detail form: one row per entry over LocalListModel, the four columns with
// their widths, extended row selection, no grid, no tree decoration. Selected rows can be dragged
// out as files; nothing is dropped on it. Sorting is the pane's business: the header only reports
// clicks and shows the indicator it is given.
class CLocalListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CLocalListCtrl(QWidget* parent = nullptr);

    LocalListModel& Model() { return model_; }
    const LocalListModel& Model() const { return model_; }

    // The rows with a selection, in row order, each once.
    std::vector<int> SelectedRows() const;
    // The current row when it is selected, otherwise the first selected row; -1 when none is.
    int FirstSelectedRow() const;
    // Makes the row the current and only selected one, and scrolls it into view.
    void SelectRow(int row);
    // The rectangle of a row's name cell in viewport coordinates (for tests and menus).
    QRect RowRect(int row) const;

    // The columns' widths at the start; a column is made wider where the font needs it for the
    // longest usual text (a date and time, say).
    static constexpr int kColumnWidths[kLocalColumnCount] = {200, 80, 150, 110};

private:
    LocalListModel model_;
};

} // namespace tessaly
