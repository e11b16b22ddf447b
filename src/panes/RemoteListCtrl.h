#pragma once

#include "panes/LCCListCtrl.h"
#include "panes/RemoteListModel.h"
#include "panes/RemoteSort.h"

namespace tessaly {

// The remote pane's list in detail form: one row per item over RemoteListModel, the five columns
// with their widths; while the pane is busy the header shows the wait cursor.
class CRemoteListCtrl : public CLCCListCtrl {
    Q_OBJECT
public:
    explicit CRemoteListCtrl(QWidget* parent = nullptr);

    RemoteListModel& Model() { return model_; }
    const RemoteListModel& Model() const { return model_; }

    // While busy the header shows the wait cursor.
    void SetBusyCursor(bool busy);

    // The columns' widths at the start; a column is made wider where the font needs it for the
    // longest usual text (a date and time, say).
    static constexpr int kColumnWidths[kRemoteColumnCount] = {200, 80, 110, 100, 150};

private:
    RemoteListModel model_;
};

} // namespace tessaly
