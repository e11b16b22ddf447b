#pragma once

#include "panes/PaneCommandTarget.h"

#include <QWidget>
#include <memory>
#include <span>
#include <vector>

class QAbstractItemView;
class QComboBox;
class QDropEvent;
class QLabel;
class QListView;
class QMenu;
class QModelIndex;
class QStackedWidget;
class QToolButton;

namespace tessaly {

class CLCCListCtrl;

// A pane's context menus are tables of these lines.
namespace pane_menu {

struct Entry {
    // ViewModes and Arrange stand for the "&View" and "&Arrange Icons" submenus of the pane's view
    // modes and sort commands.
    enum Kind { Command, Separator, Submenu, EndSubmenu, ViewModes, Arrange };
    Kind kind;
    int id;
    const char16_t* text;
};

constexpr Entry Item(int id, const char16_t* text) {
    return {Entry::Command, id, text};
}
constexpr Entry kSeparator = {Entry::Separator, 0, nullptr};
constexpr Entry Sub(const char16_t* text) {
    return {Entry::Submenu, 0, text};
}
constexpr Entry kEndSub = {Entry::EndSubmenu, 0, nullptr};
constexpr Entry kViewModesSub = {Entry::ViewModes, 0, nullptr};
constexpr Entry kArrangeSub = {Entry::Arrange, 0, nullptr};

} // namespace pane_menu

// A sort command, the column it sorts by and its text in the "&Arrange Icons" menu.
struct SortCommand {
    int id;
    int column;
    const char16_t* menuText;
};

// The command numbers a pane gives the view modes, the sort commands, the list keys and what a
// double-click on a file may do.
struct FileListCommands {
    int largeIcons;
    int smallIcons;
    int list;
    int detail;
    std::span<const SortCommand> sorts;
    int rename; // F2
    int remove; // Delete
    int view;
    int transfer; // download or upload
    int run;
};

// What the local and the remote pane share: the path bar (a chooser and an up button), the list of
// one directory, shown as details or as icons in a second view over the same model and selection,
// and a label repeating the path. It sorts the rows when a header is clicked or a sort command runs,
// switches the view modes, builds the context menus from a pane's tables, and tells when any part of
// the pane gains the keyboard focus.
class CFileListView : public QWidget, public PaneCommandTarget {
    Q_OBJECT
public:
    ~CFileListView() override;

    // The item menu (itemMenu: at least one row is selected) or the background menu, its entries
    // enabled and checked as the commands are now; choosing an entry runs its command.
    std::unique_ptr<QMenu> BuildContextMenu(bool itemMenu);

    // The column the rows are sorted by and the direction.
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    // The view mode's command number: Large icons, Small icons, List or Detail.
    int ViewMode() const;

    // View modes are checked when they are the one shown.
    bool IsCommandChecked(int id) const override;

    // The children, for the main window's layout and for tests.
    QComboBox& PathCombo() { return *pathCombo_; }
    QToolButton& UpButton() { return *upButton_; }
    QLabel& PathLabel() { return *pathLabel_; }
    // The list used by the icon and list modes; it shares the detail list's model and selection.
    QListView& IconView() { return *iconView_; }

signals:
    // The pane (any part of it) gained the keyboard focus: it is the active pane.
    void focusGained();

protected:
    CFileListView(std::unique_ptr<CLCCListCtrl> list, const FileListCommands& commands, int sortColumn,
                  QWidget* parent);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // The view modes and the sort commands: always enabled; running one switches or sorts.
    bool IsViewOrSortCommand(int id) const;
    bool RunViewOrSortCommand(int id);
    // What a double-click on a file does, by the "DbClickType" setting.
    int FileOpenCommand(int dbClickType) const;
    static bool Contains(std::span<const int> ids, int id);

    void SortBy(int column, bool ascending);
    // The header shows the column and direction the rows are sorted by.
    void ShowSortIndicator();
    CLCCListCtrl& DetailList() const { return *list_; }
    // The detail list or the icon view, whichever is shown.
    QAbstractItemView& CurrentView() const;
    const QComboBox& PathCombo() const { return *pathCombo_; }
    const QToolButton& UpButton() const { return *upButton_; }

    // The pane's own parts.
    virtual std::span<const pane_menu::Entry> MenuTable(bool itemMenu) const = 0;
    // Whether a right-click shows the item menu.
    virtual bool HasItemSelection() const = 0;
    // Enter, or a double-click (on an item or not: index may be invalid).
    virtual void OpenSelectedItem() = 0;
    virtual void OnDoubleClicked(const QModelIndex& index) = 0;
    virtual void OnLabelEditClosed(QWidget* editor, int hint) = 0;
    // A drag entering, moving over or dropped on the list (either view): the pane accepts it, with
    // the copy action, or ignores it; the views' own drop handling never runs.
    virtual void TakeDrag(QDropEvent& event) = 0;

    // A name is being edited in place: the list keys go to the editor.
    bool editing_ = false;

private:
    enum class Mode { LargeIcons, SmallIcons, List, Detail };

    void OnHeaderClicked(int column);
    void SetViewMode(Mode mode);
    // The table with the view-mode and arrange submenus written out.
    std::vector<pane_menu::Entry> ExpandMenu(std::span<const pane_menu::Entry> table) const;
    void ShowContextMenu(QAbstractItemView& view, const QPoint& at);
    bool HandleListKey(int key);
    int CommandOf(Mode mode) const;
    const SortCommand* FindSortCommand(int id) const;
    bool ModeOfCommand(int id, Mode& mode) const;

    FileListCommands commands_;

    QComboBox* pathCombo_;
    QToolButton* upButton_;
    QStackedWidget* views_;
    CLCCListCtrl* list_;
    QListView* iconView_;
    QLabel* pathLabel_;

    int sortColumn_;
    bool ascending_ = true;
    Mode mode_ = Mode::Detail;
};

} // namespace tessaly
