#pragma once

#include "panes/LCCListCtrl.h"
#include "panes/LocalListModel.h"

namespace tessaly {

// The local pane's list in detail form: one row per entry over LocalListModel, the four columns with
// their widths. Selected rows can be dragged out as files; what may be dropped on it is the pane's
// business (CLocalView).
class CLocalListCtrl : public CLCCListCtrl {
    Q_OBJECT
public:
    explicit CLocalListCtrl(QWidget* parent = nullptr);

    LocalListModel& Model() { return model_; }
    const LocalListModel& Model() const { return model_; }

    // Makes the row the current and only selected one, and scrolls it into view.
    void SelectRow(int row);

    // The columns' widths at the start; a column is made wider where the font needs it for the
    // longest usual text (a date and time, say).
    static constexpr int kColumnWidths[kLocalColumnCount] = {200, 80, 150, 110};

private:
    LocalListModel model_;
};

} // namespace tessaly
