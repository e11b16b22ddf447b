#pragma once

#include "panes/FileListView.h"
#include "panes/LocalEntry.h"
#include "settings/SettingsStore.h"

#include <QString>
#include <QStringList>
#include <functional>

class QDropEvent;
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
class CLocalView : public CFileListView {
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
    void RunCommand(int id) override;

    // Opens a file in the viewer: the "Miscellaneous"/"FileViewer" program when one is set,
    // otherwise the desktop's handler for it. A warning says when that could not be done.
    void ViewPath(const QString& path);
    // Opens a file with the desktop's handler for it; without one, asks for a program to open it.
    void RunPath(const QString& path);

    // Replaces the desktop services (tests record instead of starting programs).
    void SetShell(LocalShell shell);
    // Whether the session can take an upload now (it exists, is idle and runs no job); Upload and
    // Manual upload are offered only while it answers true. Unset, they stay disabled.
    void SetUploadGate(std::function<bool()> sessionCanUpload);

    // The detail list, for the main window and for tests.
    CLocalListCtrl& List() { return *list_; }

signals:
    // The user asked to upload these local files and directories: the selected entries (Upload,
    // or a double-click with "DbClickType" 2), or the one path Manual upload was given.
    void uploadRequested(const QStringList& paths);

protected:
    std::span<const pane_menu::Entry> MenuTable(bool itemMenu) const override;
    bool HasItemSelection() const override;
    void OpenSelectedItem() override;
    void OnDoubleClicked(const QModelIndex& index) override;
    void OnLabelEditClosed(QWidget* editor, int hint) override;
    // A drag entering, moving over or dropped on the list (either view) is taken when it carries
    // another pane's rows, this pane shows a directory and the source pane may act; a drop then asks
    // the source to act (the remote pane downloads its selection into the directory shown). Files
    // and text dragged here are refused.
    void TakeDrag(QDropEvent& event) override;

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
    void GoUp();
    void ChooseDirectory();
    void ViewFile();
    void RunFile();
    void DeleteSelected();
    void PasteFiles();
    void ShowProperties();
    void Browse();
    void CopyAddress();

    // Uploads (LocalViewUpload.cpp). A folder is shown and the session can take an upload.
    bool CanUpload() const;
    // Asks for a local path (absolute, "~/...", or relative to the directory shown) and uploads
    // what it names; a path that names nothing is answered with a message.
    void AskManualUpload();

    void StartLabelEdit(int row);
    void FinishLabelEdit(bool newDirectory, const QString& oldName, const QString& newName);

    SettingsStore settings_;
    LocalShell shell_;
    std::function<bool()> sessionCanUpload_;

    CLocalListCtrl* list_;

    QString directory_; // empty: the top-level view

    // Label editing of the name column: Rename on an entry, New Directory on the new-directory row.
    QString nameBeforeEdit_; // empty for the new-directory row
};

} // namespace tessaly
