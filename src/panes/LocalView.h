#pragma once

#include "panes/LocalEntry.h"
#include "panes/PaneCommandTarget.h"
#include "settings/SettingsStore.h"

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

class QAbstractItemView;
class QComboBox;
class QLabel;
class QListView;
class QMenu;
class QStackedWidget;
class QToolButton;
class QUrl;

namespace tessaly {

class CLocalListCtrl;

// What the pane asks of the desktop: opening a file or folder with its default program, and
// starting a program with arguments. Both answer whether it could be done.
struct LocalShell {
    std::function<bool(const QUrl& url)> openUrl;
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;

    // QDesktopServices::openUrl and QProcess::startDetached.
    static LocalShell Desktop();
};

// The local pane: the directory chooser (the directories visited, editable, and an up button), the
// list of one local directory or of the top-level view (the home directory and the mounted
// volumes), and a label repeating the directory. Everything it does is done on the local file
// system and through the desktop; uploads go out through uploadRequested.
class CLocalView : public QWidget, public PaneCommandTarget {
    Q_OBJECT
public:
    // The pane's numbers for commands the main window has none of its own for.
    static constexpr int kManualUploadCommand = 32889;
    static constexpr int kBrowseCommand = 32891;

    // Starts in the home directory (in the top-level view when that cannot be read).
    explicit CLocalView(const SettingsStore& settings, QWidget* parent = nullptr);
    ~CLocalView() override;

    // Shows the directory (a relative path or "~" is taken as the chooser takes typed text). False,
    // after a warning naming it, when it cannot be read; the pane then stays where it was.
    bool SetDirectory(const QString& path);
    void ShowTopLevel();
    // The directory shown: absolute, without a trailing slash but for "/"; empty in the top-level
    // view.
    QString Directory() const;
    bool IsTopLevel() const;
    // A file-system directory is shown (not the top-level view): what downloads and uploads need.
    bool ShowsRealDirectory() const;
    // The full paths of the selected entries, in row order.
    QStringList SelectedPaths() const;
    // Reads the directory again, keeping the selection on the entries still there. A directory that
    // has gone away gives way to its nearest readable parent.
    void Refresh();

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

    // Replaces the desktop services (tests record instead of starting programs).
    void SetShell(LocalShell shell);

    // The children, for the main window's layout and for tests.
    CLocalListCtrl& List() { return *list_; }
    QComboBox& PathCombo() { return *pathCombo_; }
    QToolButton& UpButton() { return *upButton_; }
    QLabel& PathLabel() { return *pathLabel_; }
    // The list used by the icon and list modes; it shares the detail list's model and selection.
    QListView& IconView() { return *iconView_; }

signals:
    // The pane (its list or its directory chooser) gained the keyboard focus: it is the active pane.
    void focusGained();
    // The user asked to upload these local files and directories.
    void uploadRequested(const QStringList& paths);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows a listing already read; selects the entries named, the first one current.
    void Show(const QString& directory, LocalListing listing, const QStringList& selectNames = {});
    bool ShowDirectory(const QString& directory, const QStringList& selectNames);
    // The chooser (its entry and its text) and the label show the directory; the up button follows.
    void UpdatePathBar();
    void OnPathChosen(int index);
    void OnPathTyped();

    std::vector<int> SelectedEntryRows() const;
    int SelectedFileRow() const;
    void OpenSelectedItem();
    void GoUp();
    void ChooseDirectory();
    void ViewFile();
    void RunFile();
    void DeleteSelected();
    void PasteFiles();
    void ShowProperties();
    void Browse();
    void CopyAddress();
    void SortBy(int column, bool ascending);
    void OnHeaderClicked(int column);
    void SetViewMode(int id);
    void ShowContextMenu(QAbstractItemView& view, const QPoint& at);
    bool HandleListKey(int key);

    void StartLabelEdit(int row);
    void OnLabelEditClosed(QWidget* editor, int hint);
    void FinishLabelEdit(bool newDirectory, const QString& oldName, const QString& newName);

    SettingsStore settings_;
    LocalShell shell_;

    QComboBox* pathCombo_;
    QToolButton* upButton_;
    QStackedWidget* views_;
    CLocalListCtrl* list_;
    QListView* iconView_;
    QLabel* pathLabel_;

    QString directory_; // empty: the top-level view
    int sortColumn_ = kLocalNameColumn;
    bool ascending_ = true;
    int viewMode_;

    // Label editing of the name column: Rename on an entry, New Directory on the new-directory row.
    bool editing_ = false;
    QString nameBeforeEdit_; // empty for the new-directory row
};

} // namespace tessaly
