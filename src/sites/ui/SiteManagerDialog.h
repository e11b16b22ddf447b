#pragma once

#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"

#include <QDialog>
#include <QList>
#include <functional>
#include <optional>

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tessaly {

class SiteFieldsForm;

// "Site Manager": the saved sites as a tree (the root "Favorites" and one item per site, in store
// order) and the selected site's fields beside it.
//
// The dialog edits copies of the sites. "&New", "Clo&se" (and Enter) and "&Connect" commit every edit
// and deletion to the store and save it; Esc and the window's close box discard whatever was changed
// since the last commit, so nothing the user cancelled reaches the file by a later save elsewhere.
class SiteManagerDialog : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        // Connects to the saved site with this command id; called once the dialog has closed.
        std::function<void(int commandId)> connectSite;
        // Runs the connect wizard over the store; returns the command id of the site it created, if
        // any, and whether the user asked to connect to it at once.
        std::function<std::optional<int>(QWidget* parent, bool* connectNow)> runWizard;
    };

    SiteManagerDialog(SiteStore& store, const SettingsStore& settings, Hooks hooks,
                      QWidget* parent = nullptr);

    QTreeWidget& Tree() const { return *tree_; }
    SiteFieldsForm& Fields() const { return *fields_; }
    // The labels the tree shows under "Favorites", in order.
    QStringList TreeLabels() const;
    // Selects the tree item of the site with this command id (0: the root), as a click would.
    void SelectSite(int commandId);

    // "Clo&se": commits the edits, saves and closes; stays open when the fields cannot be read.
    void accept() override;

private:
    void FillTree(int selectId);
    QTreeWidgetItem* AddSiteItem(const SiteProfile& site);
    static int ItemSiteId(const QTreeWidgetItem* item);
    SiteProfile* WorkingSite(int commandId);

    void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    // Copies the fields into the working copy of the site the selection stands on; false (said to the
    // user) when the port is out of range.
    bool StoreFieldsOfSelection();
    // Writes the working copies into the store and saves it; a failed save is said to the user.
    bool Commit();

    void OnNew();
    void OnDelete();
    void OnWizard();
    void OnConnect();
    // Closes as "Clo&se" does, then connects to the site.
    void CloseAndConnect(int commandId);

    SiteStore& store_;
    const SettingsStore& settings_;
    Hooks hooks_;
    QList<SiteProfile> working_;
    QList<int> deleted_;
    QTreeWidget* tree_;
    QTreeWidgetItem* root_ = nullptr;
    SiteFieldsForm* fields_;
    QWidget* fieldGroup_;
    bool filling_ = false;
};

} // namespace tessaly
