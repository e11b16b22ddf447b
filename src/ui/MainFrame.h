#pragma once

#include "panes/RemotePaneHost.h"
#include "session/EngineView.h"
#include "session/SessionEngine.h"
#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"
#include "ui/PaneLayout.h"
#include "ui/RecentSites.h"
#include "ui/WaitCursor.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;

namespace tessaly {

class CLocalView;
class COutputView;
class CRemoteView;
class CTaskListCtrl;
class PaneCommandTarget;
class QuickConnectBar;

// The main window: the toolbars, the status bar, the four panes and the one session engine. Every
// menu command, tool button and accelerator arrives here and is handled here or sent on to the pane
// that owns it. It is the engine's view.
class CMainFrame : public QMainWindow, public EngineView, public RemotePaneHost {
    Q_OBJECT
public:
    static constexpr const char16_t* kTitle = u"Tessaly Client";

    explicit CMainFrame(SettingsStore settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Runs a command by its number, as its menu entry, tool button or key would.
    void RunCommand(int id);
    bool IsCommandEnabled(int id) const;
    bool IsCommandChecked(int id) const;
    // The action that carries a command in the menus and on the toolbar.
    QAction* Action(int id) const { return actions_.value(id); }

    enum class ActivePane { None, Local, Remote, Log };
    ActivePane Active() const { return activePane_; }

    // The saved sites, loaded once at start-up and owned by the window from then on; the recent-site
    // list is rebuilt from the settings for them (MainFrameSites.cpp). A site removed from the store
    // leaves no reference behind: the current and last saved site and its recent entry go with it.
    void AdoptSiteStore(SiteStore sites);
    SiteStore& Sites() { return sites_; }
    // Connects to the saved site with this command id (3584..4095), as its command does: nothing when
    // there is no such site or it is the current saved site; a site that cannot be connected to is
    // refused with a message, leaving the current session alone.
    void ConnectSavedSite(int commandId);
    // The saved site of the connection (0: none, as after a quick connect), the saved site of the
    // last login (what Reconnect connects to), and the "Recent Site" submenu.
    int CurrentSavedSite() const { return currentSite_; }
    int LastSavedSite() const { return lastSite_; }
    QMenu& RecentSiteMenu() { return *recentMenu_; }

    SessionEngine& Engine() { return *engine_; }
    COutputView& OutputView() { return *output_; }
    CRemoteView& RemoteView() { return *remote_; }
    QuickConnectBar& ConnectBar() { return *connectBar_; }
    QToolBar& StandardBar() { return *standardBar_; }
    CLocalView& LocalPane() { return *local_; }
    QWidget& TaskPane() { return *taskPane_; }
    CTaskListCtrl& TaskList() { return *taskList_; }
    QSplitter& OuterSplitter() { return *outer_; }
    QSplitter& TopSplitter() { return *top_; }
    QSplitter& BottomSplitter() { return *bottom_; }
    const PaneVisibility& Panes() const { return panes_; }
    // The number of rows in the transfer task list.
    int TaskCount() const;

    // EngineView
    void AppendLog(const QByteArray& text, LogColour colour) override;
    void SetPaneEnabled(bool enabled) override;
    void SetPaneBusy(bool busy) override;
    void ClearPane() override;
    void SetPath(const QByteArray& path) override;
    void ShowListing(const ListingItems& items) override;
    void AddTaskRow(const TransferTask& task, bool append) override;
    void RemoveTaskRow(int row) override;
    void ClearTasks() override;
    void SetTaskCell(int row, TaskColumn column, const QString& text) override;
    void ShowTaskProgress(int row, qint64 total, qint64 position) override;
    void SetTaskProgress(int row, qint64 position) override;
    void SetTaskRedraw(bool enabled) override;
    void SetTransferStatus(const QString& speed, const QString& timeLeft) override;
    void SetWaitCursor(bool waiting) override;
    void RefreshLocalPane() override;
    void OpenFetchedFile(const QString& path, FetchedFileAction action) override;
    QString WindowTitle() const override;
    void SetWindowTitle(const QString& title) override;
    bool AskLogin(LoginRequest& request) override;
    void ShowServerMessages(const QList<QByteArray>& messages) override;
    void ShowFailedCommands(const std::vector<FailureRecord>& records) override;
    ConflictAnswer AskConflict(const ConflictQuestion& question) override;
    void SessionLoggedIn() override;
    void SessionIdle() override;
    void SessionClosed() override;

    // RemotePaneHost
    bool SessionMayAct() const override;
    QByteArray SessionHost() const override;
    void ChangeDirectory(const QByteArray& path, bool up) override;
    void RefreshListing() override;
    void ClearCache() override;
    void DownloadItems(const QList<RemoteItem>& items) override;
    bool CanReceiveDownloads() const override;
    void ViewOrRunItem(const RemoteItem& file, bool run) override;
    void DownloadPath(const QByteArray& path) override;
    void UploadPaths(const QStringList& localPaths) override;
    void MakeDirectory(const QByteArray& name) override;
    void RenameRemote(const QByteArray& oldName, const QByteArray& newName) override;
    void ApplyRemoteProperties(const QByteArray& name, const QByteArray& newName, int oldMode,
                               int newMode) override;
    void DeleteItems(const QList<RemoteItem>& items) override;

public slots:
    // Brings the enabled and checked state of every action up to date.
    void UpdateCommandStates();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct FrameCommand;
    static const FrameCommand kFrameCommands[];
    static const FrameCommand* FindFrameCommand(int id);

    void CreatePanes();
    // The transfer task list, the bottom-left pane (MainFrameTasks.cpp).
    CTaskListCtrl* CreateTaskList(QWidget* parent);
    // The status bar's speed and time-left panes as the idle update leaves them: alone without a
    // session, enabled and kept while a job runs, emptied otherwise.
    void UpdateTransferStatusPanes();
    void CreateActions();
    void CreateMenus();
    void CreateToolbars();
    void CreateStatusBar();
    void ApplyIdealSizes();
    void ApplyPaneVisibility();
    // The pane a routed command goes to, and the number it has there.
    PaneCommandTarget* RouteTarget(int id, int* paneId) const;

    // Command handlers.
    void OnQuickConnectToggle();
    void OnHideConnectBar();
    void OnQuickConnect();
    void OnDisconnect();
    void OnAbort();
    void OnReconnect();
    void OnViewMessage();
    void OnClearCache();
    // The options sheet; after OK with "Use File Cache" off, the directory cache is emptied.
    void OnOption();
    // Asks for the old and the new password and sends the change (MainFrameRemoteOps.cpp).
    void OnChangePassword();
    void OnToggleLocal();
    void OnToggleRemote();
    void OnToggleTask();
    void OnToggleLog();
    void OnSelectAll();
    void OnNewWindow();
    void OnAbout();
    void OnExit();
    void OnHelp();
    void OnNextPane();
    void OnPreviousPane();
    void FocusPane(int step);
    // Saved sites (MainFrameSites.cpp).
    void OnSiteRemoved(int commandId);
    void RebuildRecentMenu();
    void WriteRecentSites();
    // At login to a saved site: it becomes the last saved site and the most recent one, and the
    // user name and password are saved with it when the login dialog asked for that.
    void NoteSavedSiteLogin();

    // The site dialogs (MainFrameSiteDialogs.cpp). The wizard returns the site it made, if any.
    void OnSiteManager();
    void OnConnectWizard();
    std::optional<int> RunConnectWizard(QWidget* parent, bool* connectNow);
    void OnNewSite();
    void OnNewSiteFromSession();
    void OnSiteProperties();
    bool CanShowSiteProperties() const;

    // Enabling rules.
    bool AlwaysEnabled() const { return true; }
    bool NeverEnabled() const { return false; }
    bool CanDisconnect() const;
    bool CanAbort() const;
    bool CanReconnect() const;
    bool HasServerMessages() const;
    bool HasSession() const;
    // The remote pane is enabled: the session is idle.
    bool CanChangePassword() const;
    bool CanSelectAll() const;
    bool ConnectBarShown() const;
    bool LocalShown() const { return panes_.LocalVisible(); }
    bool RemoteShown() const { return panes_.RemoteVisible(); }
    bool TaskShown() const { return panes_.TaskVisible(); }
    bool LogShown() const { return panes_.LogVisible(); }

    SettingsStore settings_;
    SiteStore sites_;
    std::unique_ptr<SessionEngine> engine_;
    QHash<int, QAction*> actions_;
    QMenu* viewModesMenu_ = nullptr;
    QMenu* arrangeMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    int currentSite_ = 0;
    int lastSite_ = 0;
    RecentSites recent_;

    QSplitter* outer_ = nullptr;
    QSplitter* top_ = nullptr;
    QSplitter* bottom_ = nullptr;
    CLocalView* local_ = nullptr;
    CRemoteView* remote_ = nullptr;
    QWidget* taskPane_ = nullptr; // the task list
    CTaskListCtrl* taskList_ = nullptr;
    COutputView* output_ = nullptr;
    QToolBar* standardBar_ = nullptr;
    QuickConnectBar* connectBar_ = nullptr;
    QLabel* statusLeft_ = nullptr;  // the transfer speed
    QLabel* statusRight_ = nullptr; // the time left
    WaitCursor waitCursor_;

    PaneVisibility panes_;
    ActivePane activePane_ = ActivePane::None;
    QTimer updateTimer_;
    bool closing_ = false;
};

} // namespace tessaly
