#pragma once

#include <QStyle>
#include <span>

namespace tessaly {

// How a command appears in menus, on tool buttons and in the status bar.
struct CommandInfo {
    int id;
    const char16_t* text; // menu text with its mnemonic
    const char16_t* tip;  // status bar text, and the tool tip before its first line break
    const char* icon;     // theme icon name, or nullptr
    QStyle::StandardPixmap fallbackIcon;
    const char16_t* shortcut; // portable key text, or nullptr
    bool checkable;
};

// Every command the menus, the toolbar and the accelerators name.
std::span<const CommandInfo> Commands();
const CommandInfo* FindCommand(int id);

// A main-window command sent on to the active pane under the pane's own number (0: the pane has
// no such command).
struct PaneRoute {
    int frame;
    int local;
    int remote;
};
std::span<const PaneRoute> PaneRoutes();
const PaneRoute* FindPaneRoute(int frameId);

// The "Standard" toolbar's buttons, in order.
std::span<const int> StandardToolbar();

// Menu layout: each menu is a title and its entries; kMenuSeparator draws a line, and the submenu
// markers insert the submenus of the same name.
inline constexpr int kMenuSeparator = 0;
inline constexpr int kMenuRecentSites = -1;
inline constexpr int kMenuViewModes = -2;
inline constexpr int kMenuArrange = -3;
struct MenuInfo {
    const char16_t* title;
    std::span<const int> entries;
};
std::span<const MenuInfo> MainMenus();

// Keys that reach a command beside its own shortcut (Ctrl+Insert copies, Shift+Insert pastes).
struct ExtraShortcut {
    const char16_t* keys;
    int id;
};
std::span<const ExtraShortcut> ExtraShortcuts();

} // namespace tessaly
