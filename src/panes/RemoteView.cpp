#include "panes/RemoteView.h"

#include "panes/PaneDragData.h"
#include "panes/RemoteListCtrl.h"
#include "session/RemotePath.h"
#include "settings/SettingKeys.h"
#include "ui/CommandIds.h"
#include "ui/GeneralProp.h"
#include "ui/MessageBoxes.h"
#include "ui/SelectPathDialog.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDropEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QToolButton>
#include <algorithm>
#include <array>
#include <span>
#include <utility>

namespace tessaly {

namespace remote = cmd::remote;

namespace {

// The sort commands, the column each sorts by and its text in the "&Arrange Icons" menu.
constexpr SortCommand kSortCommands[] = {
    {remote::kByName, kRemoteNameColumn, u"By Name"},
    {remote::kByType, kRemoteTypeColumn, u"By Type"},
    {remote::kBySize, kRemoteSizeColumn, u"By Size"},
    {remote::kByDate, kRemoteModifiedColumn, u"By Date"},
    {remote::kByPermission, kRemotePermissionColumn, u"By Permission"},
};

constexpr FileListCommands kCommands = {
    .largeIcons = remote::kLargeIcons,
    .smallIcons = remote::kSmallIcons,
    .list = remote::kList,
    .detail = remote::kDetail,
    .sorts = kSortCommands,
    .rename = remote::kRename,
    .remove = remote::kDelete,
    .view = remote::kView,
    .transfer = remote::kDownload,
    .run = remote::kRun,
};

// The rest of the pane's commands.
constexpr std::array kOwnCommands = {remote::kUpLevel,         remote::kRefresh,      remote::kCopyAddress,
                                     remote::kChangeDirectory, cmd::kClearCache,      cmd::kSelectAll,
                                     remote::kDownload,        remote::kView,         remote::kRun,
                                     remote::kManualDownload,  remote::kPaste,        remote::kDelete,
                                     remote::kRename,          remote::kNewDirectory, remote::kProperties};

using namespace pane_menu;

constexpr Entry kItemMenu[] = {
    Item(remote::kDownload, u"&Download"),
    Item(remote::kManualDownload, u"Manual Download"),
    Item(remote::kView, u"&View"),
    Item(remote::kRun, u"&Run"),
    kSeparator,
    Item(remote::kDelete, u"D&elete"),
    Item(remote::kRename, u"Re&name"),
    kSeparator,
    Item(cmd::kSelectAll, u"Select &All\tCtrl+A"),
    kSeparator,
    Item(remote::kUpLevel, u"Up &Level Directory"),
    Item(remote::kChangeDirectory, u"C&hange Directory"),
    Item(remote::kNewDirectory, u"Ne&w Directory"),
    kSeparator,
    Item(remote::kProperties, u"&Properties"),
};

constexpr Entry kBackgroundMenu[] = {
    kViewModesSub,
    kArrangeSub,
    kSeparator,
    Item(remote::kRefresh, u"&Refresh"),
    kSeparator,
    Item(remote::kManualDownload, u"Manual Download"),
    kSeparator,
    Item(remote::kPaste, u"&Paste"),
    kSeparator,
    Item(cmd::kClearCache, u"&Clear Cache"),
    kSeparator,
    Item(cmd::kSelectAll, u"Select &All\tCtrl+A"),
    kSeparator,
    Item(remote::kUpLevel, u"Up &Level Directory"),
    Item(remote::kChangeDirectory, u"C&hange Directory"),
    kSeparator,
    Sub(u"&New"),
    Item(remote::kNewDirectory, u"&Directory"),
    kEndSub,
};

} // namespace

CRemoteView::CRemoteView(RemotePaneHost& host, const SettingsStore& settings, QWidget* parent)
    : CFileListView(std::make_unique<CRemoteListCtrl>(), kCommands, kRemoteNameColumn, parent), host_(host),
      settings_(settings), list_(static_cast<CRemoteListCtrl*>(&DetailList())) {
    connect(&PathCombo(), &QComboBox::activated, this, &CRemoteView::OnPathChosen);
    connect(&UpButton(), &QToolButton::clicked, this, [this] { RunCommand(remote::kUpLevel); });
    // Rows dragged onto the local pane are downloaded there: the drop asks this pane to Download.
    list_->Model().SetDragSource(this, remote::kDownload);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(&IconView())}) {
        view->setDragEnabled(true);
        view->setDefaultDropAction(Qt::CopyAction);
    }
    ClearPane();
}

CRemoteView::~CRemoteView() = default;

void CRemoteView::ClearPane() {
    path_.clear();
    PathLabel().clear();
    PathCombo().clear();
    SetPathBarEnabled(false);
    editing_ = false;
    list_->Model().Clear();
}

void CRemoteView::SetPath(const QByteArray& path) {
    path_ = path;
    int index = PathCombo().findData(path);
    if (index < 0) {
        PathCombo().addItem(QString::fromUtf8(path), path);
        index = PathCombo().count() - 1;
    }
    PathCombo().setCurrentIndex(index);
    PathLabel().setText(QString::fromUtf8(path));
    SetPathBarEnabled(true);
    SetBusy(false);
}

void CRemoteView::SetPaneEnabled(bool enabled) {
    SetPathBarEnabled(enabled);
    SetBusy(!enabled);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(&IconView())}) {
        view->setAcceptDrops(enabled);
        view->viewport()->setAcceptDrops(enabled);
    }
}

void CRemoteView::SetBusy(bool busy) {
    busy_ = busy;
    list_->SetBusyCursor(busy);
}

void CRemoteView::ShowItems(const ListingItems& items) {
    editing_ = false;
    list_->Model().SetItems(items, SortColumn(), SortAscending());
    ShowSortIndicator();
}

QByteArray CRemoteView::Path() const {
    return path_;
}

bool CRemoteView::IsBusy() const {
    return busy_;
}

bool CRemoteView::IsPaneEnabled() const {
    return PathCombo().isEnabledTo(this);
}

CRemoteListCtrl& CRemoteView::List() {
    return *list_;
}

bool CRemoteView::MayAct() const {
    return host_.SessionMayAct() && IsPaneEnabled();
}

void CRemoteView::SetPathBarEnabled(bool enabled) {
    PathCombo().setEnabled(enabled);
    UpButton().setEnabled(enabled && path_.size() > 1);
    list_->Model().SetNamesEditable(enabled);
}

bool CRemoteView::HandlesCommand(int id) const {
    return IsViewOrSortCommand(id) || Contains(kOwnCommands, id);
}

bool CRemoteView::IsCommandEnabled(int id) const {
    if (IsViewOrSortCommand(id)) {
        return true;
    }
    switch (id) {
    case remote::kUpLevel:
        return UpButton().isEnabledTo(this);
    case remote::kRefresh:
    case remote::kChangeDirectory:
    case cmd::kClearCache:
        return IsPaneEnabled();
    case remote::kCopyAddress:
        return IsPaneEnabled() && list_->HasSingleSelectedRow();
    case cmd::kSelectAll:
        return list_->Model().rowCount() > 0;
    case remote::kDownload:
        return MayAct() && host_.CanReceiveDownloads() && !SelectedItems().isEmpty();
    case remote::kView:
    case remote::kRun:
        return MayAct() && SelectedFileRow() >= 0;
    case remote::kManualDownload:
        return MayAct() && host_.CanReceiveDownloads();
    case remote::kPaste:
        return MayAct() && !ClipboardPaths().isEmpty();
    case remote::kDelete:
        // The new-directory row is there only while its name is edited.
        return MayAct() && !editing_ && list_->selectionModel()->hasSelection();
    case remote::kRename:
    case remote::kProperties:
        return MayAct() && !editing_ && SelectedItemRow() >= 0;
    case remote::kNewDirectory:
        return MayAct() && !editing_;
    default:
        return false; // whatever the pane does not handle
    }
}

void CRemoteView::RunCommand(int id) {
    if (!IsCommandEnabled(id) || RunViewOrSortCommand(id)) {
        return;
    }
    switch (id) {
    case remote::kUpLevel:
        host_.ChangeDirectory(ParentRemotePath(path_), true);
        break;
    case remote::kRefresh:
        SetBusy(true);
        host_.RefreshListing();
        break;
    case remote::kCopyAddress:
        CopyAddress();
        break;
    case remote::kChangeDirectory:
        ChooseDirectory();
        break;
    case cmd::kClearCache:
        host_.ClearCache();
        break;
    case cmd::kSelectAll:
        list_->selectAll();
        break;
    case remote::kDownload:
        host_.DownloadItems(SelectedItems());
        break;
    case remote::kView:
    case remote::kRun:
        host_.ViewOrRunItem(list_->Model().ItemAt(SelectedFileRow()), id == remote::kRun);
        break;
    case remote::kManualDownload:
        AskManualDownload();
        break;
    case remote::kPaste:
        host_.UploadPaths(ClipboardPaths());
        break;
    case remote::kDelete:
        DeleteSelected();
        break;
    case remote::kRename:
        StartLabelEdit(SelectedItemRow());
        break;
    case remote::kNewDirectory:
        StartLabelEdit(list_->Model().AppendNewDirectoryRow());
        break;
    case remote::kProperties:
        ShowProperties(SelectedItemRow());
        break;
    default:
        break;
    }
}

QList<RemoteItem> CRemoteView::SelectedItems() const {
    QList<RemoteItem> items;
    for (const int row : list_->SelectedRows()) {
        if (!list_->Model().IsNewDirectoryRow(row)) {
            items.append(list_->Model().ItemAt(row));
        }
    }
    return items;
}

int CRemoteView::SelectedItemRow() const {
    if (!list_->HasSingleSelectedRow()) {
        return -1;
    }
    const int row = list_->FirstSelectedRow();
    return row >= 0 && !list_->Model().IsNewDirectoryRow(row) ? row : -1;
}

int CRemoteView::SelectedFileRow() const {
    const int row = SelectedItemRow();
    return row >= 0 && !list_->Model().IsDirectory(row) ? row : -1;
}

void CRemoteView::OpenSelectedItem() {
    if (!MayAct()) {
        return;
    }
    const int row = list_->FirstSelectedRow();
    if (row < 0 || list_->Model().IsNewDirectoryRow(row)) {
        return;
    }
    if (list_->Model().IsDirectory(row)) {
        SetPathBarEnabled(false);
        SetBusy(true);
        host_.ChangeDirectory(JoinRemotePath(path_, list_->Model().NameBytes(row)), false);
        return;
    }
    // Posted: a download's question or the viewer never opens inside the click or key press.
    const int command = FileOpenCommand(settings_.Number(setting::kDbClickType));
    if (command == 0) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, command] { RunCommand(command); }, Qt::QueuedConnection);
}

void CRemoteView::GoToPath(const QByteArray& path) {
    SetBusy(true);
    host_.ChangeDirectory(path, false);
}

void CRemoteView::OnPathChosen(int index) {
    const QByteArray path = PathCombo().itemData(index).toByteArray();
    if (index >= 0 && path != path_) {
        GoToPath(path);
    }
}

void CRemoteView::ChooseDirectory() {
    QList<QByteArray> paths;
    paths.reserve(PathCombo().count());
    for (int i = 0; i < PathCombo().count(); ++i) {
        paths.append(PathCombo().itemData(i).toByteArray());
    }
    CSelectPathDialog dialog(paths, PathCombo().currentIndex(), this);
    if (dialog.exec() == QDialog::Accepted) {
        GoToPath(dialog.SelectedPath());
    }
}

void CRemoteView::AskManualDownload() {
    // The path starts as the directory shown, so a name typed after it is enough.
    const QString start = QString::fromUtf8(path_.size() > 1 ? path_ + '/' : path_);
    bool accepted = false;
    const QString typed = QInputDialog::getText(this, QStringLiteral("Manual Download"),
                                                QStringLiteral("Remote path of the file to download:"),
                                                QLineEdit::Normal, start, &accepted)
                              .trimmed();
    if (accepted && !typed.isEmpty() && typed != start && MayAct()) {
        host_.DownloadPath(ResolveRemotePath(path_, typed.toUtf8()));
    }
}

void CRemoteView::CopyAddress() {
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.size() != 1) {
        return;
    }
    QApplication::clipboard()->setText(QString::fromUtf8(AddressOf(list_->Model().NameBytes(rows.front()))));
}

QByteArray CRemoteView::AddressOf(const QByteArray& name) const {
    QByteArray address = "ftp://" + host_.SessionHost() + path_;
    if (path_.size() > 1) {
        address += '/';
    }
    return address + name;
}

QStringList CRemoteView::ClipboardPaths() {
    return LocalFilePathsOf(QApplication::clipboard()->mimeData());
}

void CRemoteView::TakeDrag(QDropEvent& event) {
    const QMimeData* mime = event.mimeData();
    const QStringList paths = PaneDragData::From(mime) == nullptr ? LocalFilePathsOf(mime) : QStringList();
    if (paths.isEmpty() || !MayAct() || !(event.possibleActions() & Qt::CopyAction)) {
        event.ignore();
        return;
    }
    event.setDropAction(Qt::CopyAction);
    event.accept();
    if (event.type() == QEvent::Drop) {
        // Posted: the conflict question never opens inside the drop, and the source's drag ends first.
        QMetaObject::invokeMethod(
            this,
            [this, paths] {
                if (MayAct()) {
                    host_.UploadPaths(paths);
                }
            },
            Qt::QueuedConnection);
    }
}

std::span<const pane_menu::Entry> CRemoteView::MenuTable(bool itemMenu) const {
    return itemMenu ? std::span<const pane_menu::Entry>(kItemMenu)
                    : std::span<const pane_menu::Entry>(kBackgroundMenu);
}

bool CRemoteView::HasItemSelection() const {
    return list_->selectionModel()->hasSelection();
}

void CRemoteView::OnDoubleClicked(const QModelIndex&) {
    OpenSelectedItem(); // on an item or not
}

void CRemoteView::StartLabelEdit(int row) {
    if (!IsPaneEnabled() || row < 0 || row >= list_->Model().rowCount()) {
        return;
    }
    QAbstractItemView* view = &CurrentView();
    const QModelIndex index = list_->Model().index(row, kRemoteNameColumn);
    nameBeforeEdit_ = list_->Model().NameBytes(row);
    editing_ = true;
    editAccepted_ = true;
    view->setCurrentIndex(index);
    view->scrollTo(index);
    view->edit(index);
}

void CRemoteView::OnLabelEditClosed(QWidget* editor, int hint) {
    if (!editing_) {
        return;
    }
    editing_ = false;
    editAccepted_ = hint != QAbstractItemDelegate::RevertModelCache;
    const auto* line = qobject_cast<QLineEdit*>(editor);
    const QString text = line != nullptr ? line->text() : QString();
    RemoteListModel& model = list_->Model();
    const bool newDirectory = model.IsNewDirectoryRow(model.rowCount() - 1);
    if (newDirectory) {
        model.RemoveNewDirectoryRow();
    }
    const QByteArray oldName = std::exchange(nameBeforeEdit_, QByteArray());
    if (!editAccepted_ || text.isEmpty()) {
        editAccepted_ = true;
        return; // Esc, or nothing typed: nothing changes
    }
    // The display text is compared, so a name that is not valid UTF-8 and was left alone is not
    // renamed to its replacement characters; a change of letter case alone is a change. What was
    // typed goes on as typed (line ends too: the session refuses those).
    if (!newDirectory && text == QString::fromUtf8(oldName)) {
        return;
    }
    // Sent outside the delegate's signal: the session disables the pane and lists again.
    QMetaObject::invokeMethod(
        this,
        [this, newDirectory, oldName, name = text.toUtf8()] {
            if (!MayAct()) {
                return;
            }
            if (newDirectory) {
                host_.MakeDirectory(name);
            } else {
                host_.RenameRemote(oldName, name);
            }
        },
        Qt::QueuedConnection);
}

void CRemoteView::DeleteSelected() {
    const QList<RemoteItem> items = SelectedItems();
    if (settings_.Number(setting::kPromptOnDeleteRemoteFiles) != 0 &&
        !AskYesNo(this,
                  QStringLiteral("All selected files are will be deleted, if deleted you cannot restore "
                                 "it. sre you want to delete it now?"))) {
        return;
    }
    if (MayAct()) {
        host_.DeleteItems(items);
    }
}

void CRemoteView::ShowProperties(int row) {
    const RemoteListModel& model = list_->Model();
    const RemoteItem item = model.ItemAt(row);
    const QByteArray name = item.name().toByteArray();
    const FileTypeInfo& type =
        item.isDirectory() ? FolderTypeInfo() : FileTypeInfoForName(model.DisplayName(row));
    RemoteItemFacts facts;
    facts.name = name;
    facts.location = QString::fromUtf8(AddressOf(name));
    facts.type = type.typeName;
    facts.icon = type.icon;
    facts.size = QStringLiteral("%1 byte").arg(item.size());
    if (const std::optional<qint64> modified = item.modified()) {
        facts.modified = QDateTime::fromSecsSinceEpoch(*modified).toLocalTime().toString(
            QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    facts.permissionsEditable = !item.dosStyle();
    facts.mode = ModeFromPermissionText(item.permissionText());
    CRemotePropertiesSheet sheet(facts, this);
    if (sheet.exec() != QDialog::Accepted) {
        return;
    }
    const CGeneralProp& page = sheet.Page();
    const bool renamed = page.Name() != name;
    if ((renamed || page.Mode() != page.InitialMode()) && MayAct()) {
        host_.ApplyRemoteProperties(name, page.Name(), page.InitialMode(), page.Mode());
    }
}

} // namespace tessaly
