#pragma once

#include "listing/ListingParser.h"
#include "panes/PaneCommandTarget.h"
#include "panes/RemotePaneHost.h"
#include "settings/SettingsStore.h"

#include <QByteArray>
#include <QWidget>
#include <memory>

class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QStackedWidget;
class QToolButton;

namespace tessaly {

class CRemoteListCtrl;

// The remote pane: the path bar (visited paths and an up button), the list of the current remote
// directory, and a label repeating the path. It never talks to the server: every action goes to
// its host, and the engine fills and enables it.
class CRemoteView : public QWidget, public PaneCommandTarget {
    Q_OBJECT
public:
    CRemoteView(RemotePaneHost& host, const SettingsStore& settings, QWidget* parent = nullptr);
    ~CRemoteView() override;

    // What the engine calls.
    void ClearPane();
    void SetPath(const QByteArray& path);
    void SetPaneEnabled(bool enabled);
    void SetBusy(bool busy);
    void ShowItems(const ListingItems& items);

    QByteArray Path() const;
    bool IsBusy() const;
    // Enabled pane: the path bar is enabled.
    bool IsPaneEnabled() const;
    CRemoteListCtrl& List();

    bool HandlesCommand(int id) const override;
    bool IsCommandEnabled(int id) const override;
    bool IsCommandChecked(int id) const override;
    void RunCommand(int id) override;

    // The item menu (itemMenu: at least one row is selected) or the background menu, its entries
    // enabled and checked as the commands are now; choosing an entry runs its command.
    std::unique_ptr<QMenu> BuildContextMenu(bool itemMenu);

    // The column the rows are sorted by and the direction.
    int SortColumn() const { return sortColumn_; }
    bool SortAscending() const { return ascending_; }
    // The view mode's command number: Large icons, Small icons, List or Detail.
    int ViewMode() const { return viewMode_; }

    // The children, for the main window's layout and for tests.
    QComboBox& PathCombo() { return *pathCombo_; }
    QToolButton& UpButton() { return *upButton_; }
    QLabel& PathLabel() { return *pathLabel_; }
    // The list used by the icon and list modes; it shares the detail list's model and selection.
    QListView& IconView() { return *iconView_; }

signals:
    // The pane (its list or its path bar) gained the keyboard focus: it is the active pane.
    void focusGained();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool MayAct() const;
    void SetPathBarEnabled(bool enabled);
    void OpenSelectedItem();
    void GoToPath(const QByteArray& path);
    void SortBy(int column, bool ascending);
    void OnHeaderClicked(int column);
    void OnPathChosen(int index);
    void SetViewMode(int id);
    void ChooseDirectory();
    void CopyAddress();
    void ShowContextMenu(const QPoint& globalPosition);
    bool HandleListKey(int key);
    void StartLabelEdit(int row);
    void OnLabelEditClosed(QWidget* editor, int hint);

    RemotePaneHost& host_;
    SettingsStore settings_;

    QComboBox* pathCombo_;
    QToolButton* upButton_;
    QStackedWidget* views_;
    CRemoteListCtrl* list_;
    QListView* iconView_;
    QLabel* pathLabel_;

    QByteArray path_;
    bool busy_ = false;
    int sortColumn_ = 0;
    bool ascending_ = true;
    int viewMode_;

    // Label editing of the name column. Rename and New directory stay disabled until the session
    // can send MKD and RNFR/RNTO; StartLabelEdit and OnLabelEditClosed are the plumbing they use.
    bool editing_ = false;
    bool editAccepted_ = false;
    QByteArray nameBeforeEdit_; // empty for the new-directory row
};

} // namespace tessaly
