#include "ui/PaneLayout.h"

#include <algorithm>

namespace tessaly {

namespace {

constexpr int kMinimumPaneSize = 100;

// Top row: the column is shown again when hidden; otherwise it is hidden, after showing its
// neighbour when that was hidden too.
void ToggleTopColumn(bool& self, bool& other) {
    if (self) {
        self = false;
        return;
    }
    other = false;
    self = true;
}

// Bottom row: a visible pane hides its column, or the whole row when its neighbour is not shown; a
// hidden pane shows its column, or the row with itself alone.
void ToggleBottomColumn(PaneVisibility& panes, bool& self, bool& other, bool selfVisible, bool otherVisible) {
    if (selfVisible) {
        if (otherVisible) {
            self = true;
        } else {
            panes.bottomRowHidden = true;
        }
        return;
    }
    if (otherVisible) {
        self = false;
        return;
    }
    panes.bottomRowHidden = false;
    self = false;
    other = true;
}

} // namespace

void PaneVisibility::ToggleLocal() {
    ToggleTopColumn(localHidden, remoteHidden);
}
void PaneVisibility::ToggleRemote() {
    ToggleTopColumn(remoteHidden, localHidden);
}
void PaneVisibility::ToggleTask() {
    ToggleBottomColumn(*this, taskHidden, logHidden, TaskVisible(), LogVisible());
}
void PaneVisibility::ToggleLog() {
    ToggleBottomColumn(*this, logHidden, taskHidden, LogVisible(), TaskVisible());
}

PaneSizes IdealPaneSizes(QSize client) {
    return {std::max(kMinimumPaneSize, client.height() * 2 / 3),
            std::max(kMinimumPaneSize, client.width() / 3),
            std::max(kMinimumPaneSize, client.width() * 2 / 3)};
}

} // namespace tessaly
