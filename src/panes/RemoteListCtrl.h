#pragma once

#include "panes/RemoteListModel.h"
#include "panes/RemoteSort.h"

#include <QTreeView>
#include <vector>

namespace tessaly {

// The remote pane's list in detail form: one row per item over RemoteListModel, the five columns
// with their widths, extended row selection, no grid, no tree decoration. Sorting is the pane's
// business: the header only reports clicks and shows the indicator it is given.
class CRemoteListCtrl : public QTreeView {
    Q_OBJECT
public:
    explicit CRemoteListCtrl(QWidget* parent = nullptr);

    RemoteListModel& Model() { return model_; }
    const RemoteListModel& Model() const { return model_; }

    // The rows with a selection, in row order, each once.
    std::vector<int> SelectedRows() const;
    // Exactly one row has a selection; stops at the second row, so it is cheap with every row
    // selected (the main window asks whenever it updates its commands).
    bool HasSingleSelectedRow() const;
    // The current row when it is selected, otherwise the first selected row; -1 when none is.
    int FirstSelectedRow() const;
    // While busy the header shows the wait cursor.
    void SetBusyCursor(bool busy);
    // The rectangle of a row's name cell in viewport coordinates (for tests and menus).
    QRect RowRect(int row) const;

    // The columns' widths at the start; a column is made wider where the font needs it for the
    // longest usual text (a date and time, say).
    static constexpr int kColumnWidths[kRemoteColumnCount] = {200, 80, 110, 100, 150};

private:
    RemoteListModel model_;
};

} // namespace tessaly
