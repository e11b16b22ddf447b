#pragma once

#include <QSize>

namespace tessaly {

// Which of the four panes are hidden. The top row (local and remote pane) is always shown; the
// bottom row (task and log pane) can be hidden as a whole. A pane is visible when its column is
// shown and so is its row.
struct PaneVisibility {
    bool localHidden = false;
    bool remoteHidden = false;
    bool bottomRowHidden = false;
    bool taskHidden = false;
    bool logHidden = false;

    bool LocalVisible() const { return !localHidden; }
    bool RemoteVisible() const { return !remoteHidden; }
    bool TaskVisible() const { return !bottomRowHidden && !taskHidden; }
    bool LogVisible() const { return !bottomRowHidden && !logHidden; }

    // The four view commands. Each flips one pane, and a row never ends up showing nothing while
    // it is shown.
    void ToggleLocal();
    void ToggleRemote();
    void ToggleTask();
    void ToggleLog();
};

// The sizes the splitters aim for in a client area of the given size.
struct PaneSizes {
    int topRowHeight;
    int localWidth;
    int taskWidth;
};
PaneSizes IdealPaneSizes(QSize client);

} // namespace tessaly
