#include "ui/MainFrame.h"

#include "panes/LocalView.h"
#include "panes/OutputView.h"
#include "panes/RemoteView.h"
#include "session/LogStyle.h"
#include "settings/SettingKeys.h"
#include "settings/ui/OptionSheet.h"
#include "transfer/ui/FileConfirmDialog.h"
#include "transfer/ui/TaskListCtrl.h"
#include "ui/AboutDialog.h"
#include "ui/CommandIds.h"
#include "ui/CommandTable.h"
#include "ui/FailedCommandsDialog.h"
#include "ui/Icons.h"
#include "ui/LoginDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/QuickConnectBar.h"
#include "ui/ServerInfoDialog.h"
#include "ui/StartupAddress.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

namespace tessaly {

using namespace Qt::StringLiterals;

struct CMainFrame::FrameCommand {
    int id;
    void (CMainFrame::*run)();
    bool (CMainFrame::*enabled)() const;
    bool (CMainFrame::*checked)() const;
};

// The commands the main window handles itself, with their enabling rules. Commands whose operations
// the program does not have yet are listed as never enabled, so nothing pretends to work.
const CMainFrame::FrameCommand CMainFrame::kFrameCommands[] = {
    {cmd::kNewWindow, &CMainFrame::OnNewWindow, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kNewSite, &CMainFrame::OnNewSite, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kSiteManager, &CMainFrame::OnSiteManager, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kSiteManagerNoMenu, &CMainFrame::OnSiteManager, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kAbout, &CMainFrame::OnAbout, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kHelp, &CMainFrame::OnHelp, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kQuickConnect, &CMainFrame::OnQuickConnectToggle, &CMainFrame::AlwaysEnabled,
     &CMainFrame::ConnectBarShown},
    {cmd::kHideConnectBar, &CMainFrame::OnHideConnectBar, &CMainFrame::AlwaysEnabled,
     &CMainFrame::ConnectBarShown},
    {cmd::kQuickConnectGo, &CMainFrame::OnQuickConnect, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kConnectWizard, &CMainFrame::OnConnectWizard, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kSiteProperties, &CMainFrame::OnSiteProperties, &CMainFrame::CanShowSiteProperties, nullptr},
    {cmd::kNewSiteFromSession, &CMainFrame::OnNewSiteFromSession, &CMainFrame::HasSession, nullptr},
    {cmd::kReconnect, &CMainFrame::OnReconnect, &CMainFrame::CanReconnect, nullptr},
    {cmd::kDisconnect, &CMainFrame::OnDisconnect, &CMainFrame::CanDisconnect, nullptr},
    {cmd::kAbort, &CMainFrame::OnAbort, &CMainFrame::CanAbort, nullptr},
    {cmd::kChangePassword, &CMainFrame::OnChangePassword, &CMainFrame::CanChangePassword, nullptr},
    {cmd::kViewMessage, &CMainFrame::OnViewMessage, &CMainFrame::HasServerMessages, nullptr},
    {cmd::kClearCache, &CMainFrame::OnClearCache, &CMainFrame::HasSession, nullptr},
    {cmd::kOption, &CMainFrame::OnOption, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kTaskView, &CMainFrame::OnToggleTask, &CMainFrame::AlwaysEnabled, &CMainFrame::TaskShown},
    {cmd::kLogView, &CMainFrame::OnToggleLog, &CMainFrame::AlwaysEnabled, &CMainFrame::LogShown},
    {cmd::kLocalView, &CMainFrame::OnToggleLocal, &CMainFrame::AlwaysEnabled, &CMainFrame::LocalShown},
    {cmd::kRemoteView, &CMainFrame::OnToggleRemote, &CMainFrame::AlwaysEnabled, &CMainFrame::RemoteShown},
    {cmd::kSelectAll, &CMainFrame::OnSelectAll, &CMainFrame::CanSelectAll, nullptr},
    {cmd::kExit, &CMainFrame::OnExit, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kRecentSitePlaceholder, nullptr, &CMainFrame::NeverEnabled, nullptr},
    {cmd::kNextPane, &CMainFrame::OnNextPane, &CMainFrame::AlwaysEnabled, nullptr},
    {cmd::kPreviousPane, &CMainFrame::OnPreviousPane, &CMainFrame::AlwaysEnabled, nullptr},
};

const CMainFrame::FrameCommand* CMainFrame::FindFrameCommand(int id) {
    const auto found = std::ranges::find(kFrameCommands, id, &FrameCommand::id);
    return found == std::end(kFrameCommands) ? nullptr : &*found;
}

namespace {

constexpr int kUpdateIntervalMs = 200;

// The log pane's own commands, which reach it whatever pane is active.
bool IsLogCommand(int id) {
    return id == cmd::kEditClear || id == cmd::kEditCopy || id == cmd::kLogSave;
}

} // namespace

CMainFrame::CMainFrame(SettingsStore settings, QWidget* parent)
    : QMainWindow(parent), settings_(std::move(settings)) {
    setWindowTitle(QString::fromUtf16(kTitle));
    setWindowIcon(ProgramIcon());
    setObjectName(u"MainFrame"_s);
    CreatePanes();
    CreateActions();
    CreateToolbars();
    CreateMenus();
    CreateStatusBar();
    engine_ = std::make_unique<SessionEngine>(*this, settings_);
    remote_->ClearPane();
    remote_->SetPaneEnabled(false);
    remote_->SetBusy(false);

    // Each pane tells when it gains the focus; the last one to do so is the active pane.
    connect(local_, &CLocalView::focusGained, this, [this] { activePane_ = ActivePane::Local; });
    connect(remote_, &CRemoteView::focusGained, this, [this] { activePane_ = ActivePane::Remote; });
    connect(output_, &COutputView::focusGained, this, [this] { activePane_ = ActivePane::Log; });
    // The local pane's uploads: offered while the remote pane may act, started once the command,
    // click or question that asked for them has returned to the event loop.
    local_->SetUploadGate([this] { return SessionMayAct() && remote_->IsPaneEnabled(); });
    connect(local_, &CLocalView::uploadRequested, this, &CMainFrame::UploadPaths, Qt::QueuedConnection);
    updateTimer_.setInterval(kUpdateIntervalMs);
    connect(&updateTimer_, &QTimer::timeout, this, &CMainFrame::UpdateCommandStates);
    updateTimer_.start();
    UpdateCommandStates();
}

CMainFrame::~CMainFrame() {
    // The engine talks to the panes while it closes its session: it goes before them.
    engine_.reset();
}

void CMainFrame::CreatePanes() {
    outer_ = new QSplitter(Qt::Vertical, this);
    outer_->setObjectName(u"OuterSplitter"_s);
    outer_->setChildrenCollapsible(false);
    top_ = new QSplitter(Qt::Horizontal, outer_);
    top_->setObjectName(u"TopSplitter"_s);
    top_->setChildrenCollapsible(false);
    bottom_ = new QSplitter(Qt::Horizontal, outer_);
    bottom_->setObjectName(u"BottomSplitter"_s);
    bottom_->setChildrenCollapsible(false);

    local_ = new CLocalView(settings_, top_);
    local_->setObjectName(u"LocalPane"_s);
    remote_ = new CRemoteView(*this, settings_, top_);
    remote_->setObjectName(u"RemotePane"_s);
    taskPane_ = CreateTaskList(bottom_);
    output_ = new COutputView(settings_, bottom_);
    output_->setObjectName(u"LogPane"_s);
    top_->addWidget(local_);
    top_->addWidget(remote_);
    bottom_->addWidget(taskPane_);
    bottom_->addWidget(output_);
    outer_->addWidget(top_);
    outer_->addWidget(bottom_);
    // No pane or row is made smaller than 100 pixels.
    for (QWidget* pane : {static_cast<QWidget*>(local_), static_cast<QWidget*>(remote_), taskPane_,
                          static_cast<QWidget*>(output_)}) {
        pane->setMinimumSize(100, 100);
    }
    setCentralWidget(outer_);
    outer_->installEventFilter(this);
}

void CMainFrame::CreateActions() {
    for (const CommandInfo& info : Commands()) {
        auto* action = new QAction(QString::fromUtf16(info.text), this);
        action->setStatusTip(QString::fromUtf16(info.tip));
        action->setToolTip(QString::fromUtf16(info.tip));
        if (info.icon != nullptr) {
            action->setIcon(ThemeIcon(info.icon, info.fallbackIcon));
        }
        QList<QKeySequence> keys;
        if (info.shortcut != nullptr) {
            keys.append(QKeySequence(QString::fromUtf16(info.shortcut)));
        }
        for (const ExtraShortcut& extra : ExtraShortcuts()) {
            if (extra.id == info.id) {
                keys.append(QKeySequence(QString::fromUtf16(extra.keys)));
            }
        }
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setCheckable(info.checkable);
        action->setData(info.id);
        const int id = info.id;
        connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
        addAction(action);
        actions_.insert(id, action);
    }
    // F6 and Shift+F6 move between the panes; they have no menu entry.
    for (const auto& [keys, id] :
         {std::pair{u"F6"_s, cmd::kNextPane}, std::pair{u"Shift+F6"_s, cmd::kPreviousPane}}) {
        auto* action = new QAction(this);
        action->setShortcut(QKeySequence(keys));
        const int commandId = id;
        connect(action, &QAction::triggered, this, [this, commandId] { RunCommand(commandId); });
        addAction(action);
        actions_.insert(id, action);
    }
}

void CMainFrame::CreateToolbars() {
    standardBar_ = new QToolBar(tr("Standard"), this);
    standardBar_->setObjectName(u"StandardBar"_s);
    standardBar_->setMovable(false);
    standardBar_->setFloatable(false);
    standardBar_->setIconSize(QSize(16, 16));
    standardBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (const int id : StandardToolbar()) {
        QAction* action = actions_.value(id);
        standardBar_->addAction(action);
        if (id == cmd::kAbort || id == cmd::kDownload || id == cmd::kNewDirectory || id == cmd::kHelp) {
            standardBar_->addSeparator();
        }
    }
    addToolBar(Qt::TopToolBarArea, standardBar_);
    addToolBarBreak(Qt::TopToolBarArea);
    connectBar_ = new QuickConnectBar(this);
    addToolBar(Qt::TopToolBarArea, connectBar_);
    connect(connectBar_, &QuickConnectBar::connectRequested, this,
            [this] { RunCommand(cmd::kQuickConnectGo); });
    connectBar_->toggleViewAction()->setVisible(false);
    standardBar_->toggleViewAction()->setVisible(false);
}

void CMainFrame::CreateMenus() {
    viewModesMenu_ = new QMenu(tr("&Arrange View"), this);
    for (const int id : {cmd::kLargeIcons, cmd::kSmallIcons, cmd::kList, cmd::kDetail}) {
        viewModesMenu_->addAction(actions_.value(id));
    }
    arrangeMenu_ = new QMenu(tr("Arrange &Icons"), this);
    for (const int id : {cmd::kByName, cmd::kByType, cmd::kBySize, cmd::kByDate}) {
        arrangeMenu_->addAction(actions_.value(id));
    }
    for (const MenuInfo& info : MainMenus()) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf16(info.title));
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
        for (const int entry : info.entries) {
            switch (entry) {
            case kMenuSeparator:
                menu->addSeparator();
                break;
            case kMenuRecentSites:
                recentMenu_ = menu->addMenu(tr("Recent &Site"));
                RebuildRecentMenu();
                break;
            case kMenuViewModes:
                menu->addMenu(viewModesMenu_);
                break;
            case kMenuArrange:
                menu->addMenu(arrangeMenu_);
                break;
            default:
                menu->addAction(actions_.value(entry));
                break;
            }
        }
    }
}

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(u"StatusBar"_s);
    const QFontMetrics metrics(bar->font());
    statusLeft_ = new QLabel(bar);
    statusLeft_->setObjectName(u"SpeedPane"_s);
    statusLeft_->setMinimumWidth(metrics.horizontalAdvance(QString(29, u' ')));
    statusRight_ = new QLabel(bar);
    statusRight_->setObjectName(u"TimeLeftPane"_s);
    statusRight_->setMinimumWidth(metrics.horizontalAdvance(QString(30, u' ')));
    bar->addPermanentWidget(statusLeft_);
    bar->addPermanentWidget(statusRight_);
    // The keyboard indicators of the original frame. Qt has no portable way to read the lock keys'
    // state, so the panes are shown greyed rather than guessing.
    for (const QString& indicator : {u"CAP"_s, u"NUM"_s, u"SCRL"_s}) {
        auto* label = new QLabel(indicator, bar);
        label->setEnabled(false);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(metrics.horizontalAdvance(u"SCRL"_s) + 8);
        bar->addPermanentWidget(label);
    }
    bar->showMessage(tr("Ready"));
}

// --- Layout -------------------------------------------------------------------------------------

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == outer_ && event->type() == QEvent::Resize) {
        ApplyIdealSizes();
    }
    return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::ApplyIdealSizes() {
    const QSize client = outer_->size();
    const PaneSizes ideal = IdealPaneSizes(client);
    const int handle = outer_->handleWidth();
    outer_->setSizes({ideal.topRowHeight, std::max(0, client.height() - ideal.topRowHeight - handle)});
    top_->setSizes({ideal.localWidth, std::max(0, client.width() - ideal.localWidth - top_->handleWidth())});
    bottom_->setSizes(
        {ideal.taskWidth, std::max(0, client.width() - ideal.taskWidth - bottom_->handleWidth())});
}

void CMainFrame::ApplyPaneVisibility() {
    local_->setHidden(panes_.localHidden);
    remote_->setHidden(panes_.remoteHidden);
    bottom_->setHidden(panes_.bottomRowHidden);
    taskPane_->setHidden(panes_.taskHidden);
    output_->setHidden(panes_.logHidden);
    UpdateCommandStates();
}

void CMainFrame::OnToggleLocal() {
    panes_.ToggleLocal();
    ApplyPaneVisibility();
}

void CMainFrame::OnToggleRemote() {
    panes_.ToggleRemote();
    ApplyPaneVisibility();
}

void CMainFrame::OnToggleTask() {
    panes_.ToggleTask();
    ApplyPaneVisibility();
}

void CMainFrame::OnToggleLog() {
    panes_.ToggleLog();
    ApplyPaneVisibility();
}

// --- Command routing ----------------------------------------------------------------------------

PaneCommandTarget* CMainFrame::RouteTarget(int id, int* paneId) const {
    if (IsLogCommand(id)) {
        *paneId = id;
        return output_;
    }
    const PaneRoute* route = FindPaneRoute(id);
    if (route == nullptr) {
        return nullptr;
    }
    if (activePane_ == ActivePane::Remote && route->remote != 0) {
        *paneId = route->remote;
        return remote_;
    }
    if (activePane_ == ActivePane::Local && route->local != 0) {
        *paneId = route->local;
        return local_;
    }
    return nullptr;
}

void CMainFrame::RunCommand(int id) {
    if (id >= cmd::kSavedSiteFirst && id <= cmd::kSavedSiteLast) {
        ConnectSavedSite(id);
        UpdateCommandStates();
        return;
    }
    if (!IsCommandEnabled(id)) {
        return;
    }
    if (const FrameCommand* command = FindFrameCommand(id)) {
        if (command->run != nullptr) {
            (this->*command->run)();
        }
    } else {
        int paneId = 0;
        if (PaneCommandTarget* target = RouteTarget(id, &paneId)) {
            target->RunCommand(paneId);
        }
    }
    UpdateCommandStates();
}

bool CMainFrame::IsCommandEnabled(int id) const {
    if (id >= cmd::kSavedSiteFirst && id <= cmd::kSavedSiteLast) {
        return sites_.FindByCommandId(id) != nullptr;
    }
    if (const FrameCommand* command = FindFrameCommand(id)) {
        return command->run != nullptr && (this->*command->enabled)();
    }
    int paneId = 0;
    const PaneCommandTarget* target = RouteTarget(id, &paneId);
    return target != nullptr && target->HandlesCommand(paneId) && target->IsCommandEnabled(paneId);
}

bool CMainFrame::IsCommandChecked(int id) const {
    if (const FrameCommand* command = FindFrameCommand(id)) {
        return command->checked != nullptr && (this->*command->checked)();
    }
    int paneId = 0;
    const PaneCommandTarget* target = RouteTarget(id, &paneId);
    return target != nullptr && target->HandlesCommand(paneId) && target->IsCommandChecked(paneId);
}

void CMainFrame::UpdateCommandStates() {
    for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
        QAction* action = it.value();
        action->setEnabled(IsCommandEnabled(it.key()));
        if (action->isCheckable()) {
            action->setChecked(IsCommandChecked(it.key()));
        }
    }
}

void CMainFrame::FocusPane(int step) {
    QList<QWidget*> order;
    for (QWidget* pane : {static_cast<QWidget*>(local_), static_cast<QWidget*>(remote_), taskPane_,
                          static_cast<QWidget*>(output_)}) {
        if (pane->isVisibleTo(this)) {
            order.append(pane);
        }
    }
    if (order.isEmpty()) {
        return;
    }
    qsizetype current = -1;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (order[i] == QApplication::focusWidget() || order[i]->isAncestorOf(QApplication::focusWidget())) {
            current = i;
        }
    }
    const qsizetype next = current < 0 ? 0 : (current + step + order.size()) % order.size();
    // A pane made of several widgets takes the focus in its first child that accepts it.
    QWidget* target = order[next];
    if (target->focusPolicy() == Qt::NoFocus && target->focusProxy() == nullptr) {
        for (QWidget* child : target->findChildren<QWidget*>()) {
            if (child->focusPolicy() != Qt::NoFocus && child->isVisibleTo(target)) {
                target = child;
                break;
            }
        }
    }
    target->setFocus(Qt::TabFocusReason);
}

void CMainFrame::OnNextPane() {
    FocusPane(1);
}
void CMainFrame::OnPreviousPane() {
    FocusPane(-1);
}

// --- Frame commands -----------------------------------------------------------------------------

bool CMainFrame::ConnectBarShown() const {
    return !connectBar_->isHidden();
}

void CMainFrame::OnQuickConnectToggle() {
    OnHideConnectBar();
    if (ConnectBarShown()) {
        connectBar_->Host().setFocus(Qt::ShortcutFocusReason);
    } else {
        output_->setFocus(Qt::ShortcutFocusReason);
    }
}

void CMainFrame::OnHideConnectBar() {
    connectBar_->setHidden(ConnectBarShown());
}

void CMainFrame::OnQuickConnect() {
    output_->setFocus(Qt::OtherFocusReason);
    const std::optional<SessionEngine::StartRequest> request =
        QuickConnectRequest(connectBar_->Fields(), settings_);
    if (!request) {
        return;
    }
    currentSite_ = 0;
    engine_->StartSession(*request);
}

bool CMainFrame::HasServerMessages() const {
    const FtpSession* session = engine_->Session();
    return session != nullptr && !session->messages.empty();
}

void CMainFrame::OnViewMessage() {
    QList<QByteArray> texts;
    for (const auto& message : engine_->Session()->messages) {
        message->unshown = false;
        texts.append(message->text);
    }
    ShowServerMessages(texts);
}

bool CMainFrame::HasSession() const {
    return engine_->Session() != nullptr;
}

void CMainFrame::OnClearCache() {
    engine_->ClearCache();
}

void CMainFrame::OnOption() {
    COptionSheet sheet(settings_, this);
    if (sheet.exec() != QDialog::Accepted) {
        return;
    }
    // With the directory cache now off, what it holds would only be shown again: it goes.
    if (settings_.Number(setting::kFolderCatch) == 0) {
        engine_->ClearCache();
    }
}

bool CMainFrame::CanSelectAll() const {
    if (activePane_ == ActivePane::Remote) {
        return remote_->IsCommandEnabled(cmd::kSelectAll);
    }
    if (activePane_ == ActivePane::Local) {
        return local_->IsCommandEnabled(cmd::kSelectAll);
    }
    return output_->IsCommandEnabled(cmd::kSelectAll);
}

void CMainFrame::OnSelectAll() {
    if (activePane_ == ActivePane::Remote) {
        remote_->RunCommand(cmd::kSelectAll);
    } else if (activePane_ == ActivePane::Local) {
        local_->RunCommand(cmd::kSelectAll);
    } else {
        output_->RunCommand(cmd::kSelectAll);
    }
}

void CMainFrame::OnNewWindow() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool started = QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
    QApplication::restoreOverrideCursor();
    if (!started) {
        ShowWarning(this, tr("A new window could not be started."));
    }
}

void CMainFrame::OnExit() {
    close();
}

void CMainFrame::OnAbout() {
    AboutDialog dialog(this);
    dialog.exec();
}

void CMainFrame::OnHelp() {
    const QString path = HelpDirectory() + u"/index.html"_s;
    if (!QFileInfo::exists(path) || !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        ShowWarning(this, tr("The help file %1 could not be opened.").arg(path));
    }
}

// --- Closing ------------------------------------------------------------------------------------

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (engine_->HasControlConnection() && settings_.Number(setting::kPromptOnCloseMainWindow) != 0) {
        const QString question = TaskCount() > 0
                                     ? tr("If you close window all active task will be aborted, are you sure "
                                          "want to close Tessaly Client?")
                                     : tr("Connection is avtive, are you sure want to quit Tessaly Client?");
        if (!AskYesNo(this, question)) {
            event->ignore();
            return;
        }
    }
    closing_ = true;
    updateTimer_.stop();
    engine_->CloseSession();
    event->accept();
}

// --- The engine's view --------------------------------------------------------------------------

void CMainFrame::AppendLog(const QByteArray& text, LogColour colour) {
    output_->AppendText(QColor(colour.red, colour.green, colour.blue), QString::fromUtf8(text));
}

void CMainFrame::SetPaneEnabled(bool enabled) {
    remote_->SetPaneEnabled(enabled);
}
void CMainFrame::SetPaneBusy(bool busy) {
    remote_->SetBusy(busy);
}
void CMainFrame::ClearPane() {
    remote_->ClearPane();
}
void CMainFrame::SetPath(const QByteArray& path) {
    remote_->SetPath(path);
}
void CMainFrame::ShowListing(const ListingItems& items) {
    remote_->ShowItems(items);
}
// The task list, the status panes, the wait cursor and fetched files: MainFrameTasks.cpp.
ConflictAnswer CMainFrame::AskConflict(const ConflictQuestion& question) {
    return AskFileConflict(this, question);
}

QString CMainFrame::WindowTitle() const {
    return windowTitle();
}
void CMainFrame::SetWindowTitle(const QString& title) {
    setWindowTitle(title);
}

bool CMainFrame::AskLogin(LoginRequest& request) {
    request.noSavedSite = currentSite_ == 0; // "&Save Password" saves into the current saved site
    LoginDialog dialog(request, settings_, this);
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    request = dialog.Result();
    return true;
}

void CMainFrame::ShowServerMessages(const QList<QByteArray>& messages) {
    if (closing_ || messages.isEmpty()) {
        return;
    }
    ServerInfoDialog dialog(messages, this);
    dialog.exec();
}

void CMainFrame::ShowFailedCommands(const std::vector<FailureRecord>& records) {
    if (closing_) {
        return;
    }
    FailedCommandsDialog dialog(records, this);
    dialog.exec();
}

void CMainFrame::SessionLoggedIn() {
    NoteSavedSiteLogin();
    UpdateCommandStates();
}
void CMainFrame::SessionIdle() {
    UpdateTransferStatusPanes();
    UpdateCommandStates();
}
void CMainFrame::SessionClosed() {
    currentSite_ = 0;
    UpdateTransferStatusPanes();
    UpdateCommandStates();
}

// --- What the remote pane asks of the session -----------------------------------------------------

bool CMainFrame::SessionMayAct() const {
    const FtpSession* session = engine_->Session();
    return session != nullptr && !session->awaitingReply && !session->jobRunning;
}

QByteArray CMainFrame::SessionHost() const {
    const FtpSession* session = engine_->Session();
    return session != nullptr ? session->host : QByteArray();
}

void CMainFrame::ChangeDirectory(const QByteArray& path, bool up) {
    engine_->ChangeDirectory(path, up);
}
void CMainFrame::RefreshListing() {
    engine_->RefreshListing(true);
}
void CMainFrame::ClearCache() {
    engine_->ClearCache();
}

} // namespace tessaly
