#pragma once

#include "listing/ListingParser.h"
#include "panes/FileListView.h"
#include "panes/RemotePaneHost.h"
#include "settings/SettingsStore.h"

#include <QByteArray>

class QDropEvent;

namespace tessaly {

class CRemoteListCtrl;

// The remote pane: the path bar (visited paths and an up button), the list of the current remote
// directory, and a label repeating the path. It never talks to the server: every action goes to
// its host, and the engine fills and enables it.
class CRemoteView : public CFileListView {
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
    void RunCommand(int id) override;

protected:
    std::span<const pane_menu::Entry> MenuTable(bool itemMenu) const override;
    bool HasItemSelection() const override;
    void OpenSelectedItem() override;
    void OnDoubleClicked(const QModelIndex& index) override;
    void OnLabelEditClosed(QWidget* editor, int hint) override;
    // A drag entering, moving over or dropped on the list is taken when it carries local files
    // (from the local pane or a file manager) and the pane may act; a drop then uploads them. Rows
    // of this program's panes, other URLs and text are refused.
    void TakeDrag(QDropEvent& event) override;

private:
    bool MayAct() const;
    // The items of the selected rows (files, directories and links), in row order.
    QList<RemoteItem> SelectedItems() const;
    // The row of the one selected item (not the new-directory row); -1 otherwise.
    int SelectedItemRow() const;
    // As SelectedItemRow, when the item is not a directory.
    int SelectedFileRow() const;
    // "ftp://", the session's host, the path and the name.
    QByteArray AddressOf(const QByteArray& name) const;
    // Asks (unless told not to), then deletes the selected items.
    void DeleteSelected();
    // The properties sheet of the item at row; on OK the changes go to the session.
    void ShowProperties(int row);
    void AskManualDownload();
    // The local files the clipboard holds.
    static QStringList ClipboardPaths();
    void SetPathBarEnabled(bool enabled);
    void GoToPath(const QByteArray& path);
    void OnPathChosen(int index);
    void ChooseDirectory();
    void CopyAddress();
    void StartLabelEdit(int row);

    RemotePaneHost& host_;
    SettingsStore settings_;

    CRemoteListCtrl* list_;

    QByteArray path_;
    bool busy_ = false;

    // Label editing of the name column, for Rename and New directory.
    bool editAccepted_ = true;  // cleared by Esc during an edit
    QByteArray nameBeforeEdit_; // empty for the new-directory row
};

} // namespace tessaly
