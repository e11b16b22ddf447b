#include "panes/RemoteView.h"

#include "panes/RemoteListCtrl.h"
#include "session/RemotePath.h"
#include "ui/CommandIds.h"
#include "ui/SelectPathDialog.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <span>

namespace tessaly {

namespace remote = cmd::remote;

namespace {

// Commands that come with transfers, deleting, renaming and creating directories: the pane owns
// them but offers none of them yet.
constexpr std::array kLaterCommands = {
    remote::kDownload, remote::kManualDownload, remote::kView,  remote::kRun,        remote::kDelete,
    remote::kRename,   remote::kNewDirectory,   remote::kPaste, remote::kProperties,
};

constexpr std::array kViewModeCommands = {remote::kLargeIcons, remote::kSmallIcons, remote::kList,
                                          remote::kDetail};

// The sort commands and the column each sorts by.
struct SortCommand {
    int id;
    int column;
};
constexpr std::array<SortCommand, 5> kSortCommands = {{
    {remote::kByName, kRemoteNameColumn},
    {remote::kByType, kRemoteTypeColumn},
    {remote::kBySize, kRemoteSizeColumn},
    {remote::kByDate, kRemoteModifiedColumn},
    {remote::kByPermission, kRemotePermissionColumn},
}};

// The rest of the pane's commands.
constexpr std::array kOwnCommands = {remote::kUpLevel,         remote::kRefresh, remote::kCopyAddress,
                                     remote::kChangeDirectory, cmd::kClearCache, cmd::kSelectAll};

template <std::size_t N> bool Contains(const std::array<int, N>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

const SortCommand* FindSortCommand(int id) {
    const auto found = std::find_if(kSortCommands.begin(), kSortCommands.end(),
                                    [id](const SortCommand& c) { return c.id == id; });
    return found == kSortCommands.end() ? nullptr : &*found;
}

// One line of a context menu table.
struct MenuEntry {
    enum Kind { Command, Separator, Submenu, EndSubmenu };
    Kind kind;
    int id;
    const char16_t* text;
};

constexpr MenuEntry Item(int id, const char16_t* text) {
    return {MenuEntry::Command, id, text};
}
constexpr MenuEntry kSeparator = {MenuEntry::Separator, 0, nullptr};
constexpr MenuEntry Sub(const char16_t* text) {
    return {MenuEntry::Submenu, 0, text};
}
constexpr MenuEntry kEndSub = {MenuEntry::EndSubmenu, 0, nullptr};

constexpr MenuEntry kItemMenu[] = {
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

constexpr MenuEntry kBackgroundMenu[] = {
    Sub(u"&View"),
    Item(remote::kLargeIcons, u"Lar&ge Icons"),
    Item(remote::kSmallIcons, u"S&mall Icons"),
    Item(remote::kList, u"&List"),
    Item(remote::kDetail, u"&Detail"),
    kEndSub,
    Sub(u"&Arrange Icons"),
    Item(remote::kByName, u"By Name"),
    Item(remote::kByType, u"By Type"),
    Item(remote::kBySize, u"By Size"),
    Item(remote::kByDate, u"By Date"),
    Item(remote::kByPermission, u"By Permission"),
    kEndSub,
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

// What a double-click on a file does, by the "DbClickType" setting.
int FileOpenCommand(int dbClickType) {
    switch (dbClickType) {
    case 1:
        return remote::kView;
    case 2:
        return remote::kDownload;
    default:
        return remote::kRun;
    }
}

} // namespace

CRemoteView::CRemoteView(RemotePaneHost& host, const SettingsStore& settings, QWidget* parent)
    : QWidget(parent), host_(host), settings_(settings), pathCombo_(new QComboBox(this)),
      upButton_(new QToolButton(this)), views_(new QStackedWidget(this)), list_(new CRemoteListCtrl(views_)),
      iconView_(new QListView(views_)), pathLabel_(new QLabel(this)), viewMode_(remote::kDetail) {
    pathCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pathCombo_->setMinimumContentsLength(12);
    pathCombo_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    pathCombo_->setInsertPolicy(QComboBox::NoInsert);
    connect(pathCombo_, &QComboBox::activated, this, &CRemoteView::OnPathChosen);

    upButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    upButton_->setToolTip(QStringLiteral("Up Level Directory"));
    upButton_->setAutoRaise(true);
    connect(upButton_, &QToolButton::clicked, this, [this] { RunCommand(remote::kUpLevel); });

    iconView_->setModel(&list_->Model());
    iconView_->setSelectionModel(list_->selectionModel());
    iconView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    iconView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    iconView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    iconView_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Each item is measured for itself, so long names are not cut to the size of another one; the
    // batched layout keeps the window answering while a large listing is laid out.
    iconView_->setUniformItemSizes(false);
    iconView_->setLayoutMode(QListView::Batched);
    iconView_->setMovement(QListView::Static);
    iconView_->setResizeMode(QListView::Adjust);
    iconView_->setWrapping(true);
    views_->addWidget(list_);
    views_->addWidget(iconView_);
    views_->setCurrentWidget(list_);

    pathLabel_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    pathLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    pathLabel_->setTextFormat(Qt::PlainText);
    pathLabel_->setContentsMargins(2, 0, 2, 0);

    auto* pathBar = new QHBoxLayout;
    pathBar->setSpacing(2);
    pathBar->addWidget(pathCombo_, 1);
    pathBar->addWidget(upButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(pathBar);
    layout->addWidget(views_, 1);
    layout->addWidget(pathLabel_);

    connect(list_->header(), &QHeaderView::sectionClicked, this, &CRemoteView::OnHeaderClicked);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(iconView_)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& at) { ShowContextMenu(view->viewport()->mapToGlobal(at)); });
        connect(view->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
                [this](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                    OnLabelEditClosed(editor, int(hint));
                });
    }
    pathCombo_->installEventFilter(this);
    upButton_->installEventFilter(this);
    setFocusProxy(list_);

    ClearPane();
}

CRemoteView::~CRemoteView() = default;

void CRemoteView::ClearPane() {
    path_.clear();
    pathLabel_->clear();
    pathCombo_->clear();
    SetPathBarEnabled(false);
    editing_ = false;
    list_->Model().Clear();
}

void CRemoteView::SetPath(const QByteArray& path) {
    path_ = path;
    int index = pathCombo_->findData(path);
    if (index < 0) {
        pathCombo_->addItem(QString::fromUtf8(path), path);
        index = pathCombo_->count() - 1;
    }
    pathCombo_->setCurrentIndex(index);
    pathLabel_->setText(QString::fromUtf8(path));
    SetPathBarEnabled(true);
    SetBusy(false);
}

void CRemoteView::SetPaneEnabled(bool enabled) {
    SetPathBarEnabled(enabled);
    list_->Model().SetNamesEditable(enabled);
    SetBusy(!enabled);
    list_->setAcceptDrops(enabled);
    iconView_->setAcceptDrops(enabled);
}

void CRemoteView::SetBusy(bool busy) {
    busy_ = busy;
    list_->SetBusyCursor(busy);
}

void CRemoteView::ShowItems(const ListingItems& items) {
    editing_ = false;
    list_->Model().SetItems(items, sortColumn_, ascending_);
    list_->header()->setSortIndicator(sortColumn_, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QByteArray CRemoteView::Path() const {
    return path_;
}

bool CRemoteView::IsBusy() const {
    return busy_;
}

bool CRemoteView::IsPaneEnabled() const {
    return pathCombo_->isEnabledTo(this);
}

CRemoteListCtrl& CRemoteView::List() {
    return *list_;
}

bool CRemoteView::MayAct() const {
    return host_.SessionMayAct() && IsPaneEnabled();
}

void CRemoteView::SetPathBarEnabled(bool enabled) {
    pathCombo_->setEnabled(enabled);
    upButton_->setEnabled(enabled && path_.size() > 1);
}

bool CRemoteView::HandlesCommand(int id) const {
    return Contains(kLaterCommands, id) || Contains(kViewModeCommands, id) ||
           FindSortCommand(id) != nullptr || Contains(kOwnCommands, id);
}

bool CRemoteView::IsCommandEnabled(int id) const {
    if (Contains(kViewModeCommands, id) || FindSortCommand(id) != nullptr) {
        return true;
    }
    switch (id) {
    case remote::kUpLevel:
        return upButton_->isEnabledTo(this);
    case remote::kRefresh:
    case remote::kChangeDirectory:
    case cmd::kClearCache:
        return IsPaneEnabled();
    case remote::kCopyAddress:
        return IsPaneEnabled() && list_->HasSingleSelectedRow();
    case cmd::kSelectAll:
        return list_->Model().rowCount() > 0;
    default:
        return false; // the later commands and whatever the pane does not handle
    }
}

bool CRemoteView::IsCommandChecked(int id) const {
    return Contains(kViewModeCommands, id) && id == viewMode_;
}

void CRemoteView::RunCommand(int id) {
    if (!IsCommandEnabled(id)) {
        return;
    }
    if (Contains(kViewModeCommands, id)) {
        SetViewMode(id);
        return;
    }
    if (const SortCommand* sort = FindSortCommand(id)) {
        SortBy(sort->column, true);
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
    default:
        break;
    }
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
    RunCommand(FileOpenCommand(settings_.GetInt(u"Miscellaneous", u"DbClickType", 0)));
}

void CRemoteView::GoToPath(const QByteArray& path) {
    SetBusy(true);
    host_.ChangeDirectory(path, false);
}

void CRemoteView::OnPathChosen(int index) {
    const QByteArray path = pathCombo_->itemData(index).toByteArray();
    if (index >= 0 && path != path_) {
        GoToPath(path);
    }
}

void CRemoteView::ChooseDirectory() {
    QList<QByteArray> paths;
    paths.reserve(pathCombo_->count());
    for (int i = 0; i < pathCombo_->count(); ++i) {
        paths.append(pathCombo_->itemData(i).toByteArray());
    }
    CSelectPathDialog dialog(paths, pathCombo_->currentIndex(), this);
    if (dialog.exec() == QDialog::Accepted) {
        GoToPath(dialog.SelectedPath());
    }
}

void CRemoteView::CopyAddress() {
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.size() != 1) {
        return;
    }
    QByteArray address = "ftp://" + host_.SessionHost() + path_;
    if (path_.size() > 1) {
        address += '/';
    }
    address += list_->Model().NameBytes(rows.front());
    QApplication::clipboard()->setText(QString::fromUtf8(address));
}

void CRemoteView::SortBy(int column, bool ascending) {
    sortColumn_ = column;
    ascending_ = ascending;
    list_->Model().SortRows(column, ascending);
    list_->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    if (list_->currentIndex().isValid()) {
        list_->scrollTo(list_->currentIndex());
    }
}

void CRemoteView::OnHeaderClicked(int column) {
    SortBy(column, column == sortColumn_ ? !ascending_ : true);
}

void CRemoteView::SetViewMode(int id) {
    const bool hadFocus = views_->currentWidget()->hasFocus();
    viewMode_ = id;
    if (id == remote::kDetail) {
        views_->setCurrentWidget(list_);
    } else {
        const bool large = id == remote::kLargeIcons;
        iconView_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        iconView_->setFlow(id == remote::kList ? QListView::TopToBottom : QListView::LeftToRight);
        iconView_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        iconView_->setWordWrap(large);
        iconView_->setTextElideMode(large ? Qt::ElideMiddle : Qt::ElideRight);
        const int line = iconView_->fontMetrics().height();
        iconView_->setGridSize(large ? QSize(112, 40 + 2 * line)
                                     : QSize(id == remote::kList ? 220 : 180, line + 6));
        views_->setCurrentWidget(iconView_);
    }
    setFocusProxy(views_->currentWidget());
    if (hadFocus) {
        views_->currentWidget()->setFocus();
    }
}

std::unique_ptr<QMenu> CRemoteView::BuildContextMenu(bool itemMenu) {
    const std::span<const MenuEntry> entries =
        itemMenu ? std::span<const MenuEntry>(kItemMenu) : std::span<const MenuEntry>(kBackgroundMenu);
    auto menu = std::make_unique<QMenu>();
    std::vector<QMenu*> open = {menu.get()};
    for (const MenuEntry& entry : entries) {
        QMenu* into = open.back();
        switch (entry.kind) {
        case MenuEntry::Separator:
            into->addSeparator();
            break;
        case MenuEntry::Submenu:
            open.push_back(into->addMenu(QString::fromUtf16(entry.text)));
            break;
        case MenuEntry::EndSubmenu:
            open.pop_back();
            break;
        case MenuEntry::Command: {
            QAction* action = into->addAction(QString::fromUtf16(entry.text));
            action->setData(entry.id);
            action->setEnabled(IsCommandEnabled(entry.id));
            if (Contains(kViewModeCommands, entry.id)) {
                action->setCheckable(true);
                action->setChecked(IsCommandChecked(entry.id));
            }
            const int id = entry.id;
            connect(action, &QAction::triggered, this, [this, id] { RunCommand(id); });
            break;
        }
        }
    }
    return menu;
}

void CRemoteView::ShowContextMenu(const QPoint& globalPosition) {
    const std::unique_ptr<QMenu> menu = BuildContextMenu(list_->selectionModel()->hasSelection());
    menu->exec(globalPosition);
}

bool CRemoteView::HandleListKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OpenSelectedItem();
        return true;
    case Qt::Key_F2:
        RunCommand(remote::kRename);
        return true;
    case Qt::Key_Delete:
        RunCommand(remote::kDelete);
        return true;
    default:
        return false;
    }
}

bool CRemoteView::eventFilter(QObject* watched, QEvent* event) {
    const bool isView = watched == list_ || watched == iconView_;
    const bool isViewport = watched == list_->viewport() || watched == iconView_->viewport();
    switch (event->type()) {
    case QEvent::FocusIn:
        if (isView || watched == pathCombo_ || watched == upButton_) {
            emit focusGained();
        }
        break;
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (isView && !editing_ && plain && HandleListKey(key->key())) {
            return true;
        }
        break;
    }
    case QEvent::MouseButtonDblClick:
        if (isViewport && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OpenSelectedItem();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void CRemoteView::StartLabelEdit(int row) {
    if (!IsPaneEnabled() || row < 0 || row >= list_->Model().rowCount()) {
        return;
    }
    auto* view = static_cast<QAbstractItemView*>(views_->currentWidget());
    const QModelIndex index = list_->Model().index(row, kRemoteNameColumn);
    nameBeforeEdit_ = list_->Model().NameBytes(row);
    editing_ = true;
    editAccepted_ = true;
    view->setCurrentIndex(index);
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
    if (!editAccepted_ || text.isEmpty()) {
        return;
    }
    // Nothing further yet: Rename and New directory stay disabled until the session offers MKD and
    // RNFR/RNTO. Then a new-directory row asks for MKD text, and a name that differs from
    // nameBeforeEdit_ (an unchanged display text of a name that is not valid UTF-8 does not) for
    // RNFR nameBeforeEdit_ and RNTO text; the listing that follows shows the result.
}

} // namespace tessaly
