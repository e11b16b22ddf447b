#include "panes/FileListView.h"

#include "panes/LCCListCtrl.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

namespace tessaly {

namespace {

// The child, owned from now on by its parent widget.
template <typename Widget> Widget* Adopted(std::unique_ptr<Widget> child, QWidget* parent) {
    child->setParent(parent);
    return child.release();
}

} // namespace

CFileListView::CFileListView(std::unique_ptr<CLCCListCtrl> list, const FileListCommands& commands,
                             int sortColumn, QWidget* parent)
    : QWidget(parent), commands_(commands), pathCombo_(new QComboBox(this)), upButton_(new QToolButton(this)),
      views_(new QStackedWidget(this)), list_(Adopted(std::move(list), views_)),
      iconView_(new QListView(views_)), pathLabel_(new QLabel(this)), sortColumn_(sortColumn) {
    pathCombo_->setInsertPolicy(QComboBox::NoInsert);
    pathCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    pathCombo_->setMinimumContentsLength(12);
    pathCombo_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    upButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogToParent));
    upButton_->setToolTip(QStringLiteral("Up Level Directory"));
    upButton_->setAutoRaise(true);

    iconView_->setModel(list_->model());
    iconView_->setSelectionModel(list_->selectionModel());
    iconView_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    iconView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    iconView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    iconView_->setContextMenuPolicy(Qt::CustomContextMenu);
    // Each item is measured for itself: uniform sizes would take every item's size from one of them
    // and cut longer names short. The batched layout keeps the window answering while a large
    // listing is laid out.
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

    connect(list_->header(), &QHeaderView::sectionClicked, this, &CFileListView::OnHeaderClicked);
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(iconView_)}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, view](const QPoint& at) { ShowContextMenu(*view, at); });
        connect(view->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
                [this](QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
                    OnLabelEditClosed(editor, int(hint));
                });
    }
    // Any part of the pane taking the focus (the list, the chooser, its text, the up button, an
    // editor) makes it the active pane.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (now != nullptr && now != old && (now == this || isAncestorOf(now))) {
            emit focusGained();
        }
    });
    setFocusProxy(list_);
}

CFileListView::~CFileListView() {
    // A window closing while an editor is open reports the editor closed, and the focus moves, while
    // this view is already half gone: nothing of that may reach it any more.
    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(list_), static_cast<QAbstractItemView*>(iconView_)}) {
        if (QAbstractItemDelegate* delegate = view->itemDelegate()) {
            delegate->disconnect(this);
        }
    }
    QObject::disconnect(qApp, nullptr, this, nullptr);
}

int CFileListView::ViewMode() const {
    return CommandOf(mode_);
}

int CFileListView::CommandOf(Mode mode) const {
    switch (mode) {
    case Mode::LargeIcons:
        return commands_.largeIcons;
    case Mode::SmallIcons:
        return commands_.smallIcons;
    case Mode::List:
        return commands_.list;
    case Mode::Detail:
        break;
    }
    return commands_.detail;
}

bool CFileListView::ModeOfCommand(int id, Mode& mode) const {
    for (const Mode candidate : {Mode::LargeIcons, Mode::SmallIcons, Mode::List, Mode::Detail}) {
        if (CommandOf(candidate) == id) {
            mode = candidate;
            return true;
        }
    }
    return false;
}

const SortCommand* CFileListView::FindSortCommand(int id) const {
    const auto found = std::find_if(commands_.sorts.begin(), commands_.sorts.end(),
                                    [id](const SortCommand& c) { return c.id == id; });
    return found == commands_.sorts.end() ? nullptr : &*found;
}

bool CFileListView::IsViewOrSortCommand(int id) const {
    Mode mode;
    return ModeOfCommand(id, mode) || FindSortCommand(id) != nullptr;
}

bool CFileListView::RunViewOrSortCommand(int id) {
    if (Mode mode; ModeOfCommand(id, mode)) {
        SetViewMode(mode);
        return true;
    }
    if (const SortCommand* sort = FindSortCommand(id)) {
        SortBy(sort->column, true);
        return true;
    }
    return false;
}

int CFileListView::FileOpenCommand(int dbClickType) const {
    switch (dbClickType) {
    case 1:
        return commands_.view;
    case 2:
        return commands_.transfer;
    case 3:
        return 0; // "Ignore": a double click on a file does nothing
    default:
        return commands_.run;
    }
}

bool CFileListView::Contains(std::span<const int> ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool CFileListView::IsCommandChecked(int id) const {
    Mode mode;
    return ModeOfCommand(id, mode) && mode == mode_;
}

QAbstractItemView& CFileListView::CurrentView() const {
    return *static_cast<QAbstractItemView*>(views_->currentWidget());
}

void CFileListView::ShowSortIndicator() {
    list_->header()->setSortIndicator(sortColumn_, ascending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CFileListView::SortBy(int column, bool ascending) {
    sortColumn_ = column;
    ascending_ = ascending;
    list_->model()->sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    ShowSortIndicator();
    if (list_->currentIndex().isValid()) {
        CurrentView().scrollTo(list_->currentIndex());
    }
}

void CFileListView::OnHeaderClicked(int column) {
    SortBy(column, column == sortColumn_ ? !ascending_ : true);
}

void CFileListView::SetViewMode(Mode mode) {
    const bool hadFocus = views_->currentWidget()->hasFocus();
    mode_ = mode;
    if (mode == Mode::Detail) {
        views_->setCurrentWidget(list_);
    } else {
        // QListView turns dragging and dropping off when its mode changes: the pane's choice stays.
        const bool dragEnabled = iconView_->dragEnabled();
        const bool acceptDrops = iconView_->acceptDrops();
        const bool large = mode == Mode::LargeIcons;
        const bool listMode = mode == Mode::List;
        iconView_->setViewMode(large ? QListView::IconMode : QListView::ListMode);
        iconView_->setFlow(listMode ? QListView::TopToBottom : QListView::LeftToRight);
        iconView_->setIconSize(large ? QSize(32, 32) : QSize(16, 16));
        iconView_->setWordWrap(large);
        iconView_->setTextElideMode(large ? Qt::ElideMiddle : Qt::ElideRight);
        const int line = iconView_->fontMetrics().height();
        iconView_->setGridSize(large ? QSize(112, 40 + 2 * line) : QSize(listMode ? 220 : 180, line + 6));
        iconView_->setDragEnabled(dragEnabled);
        iconView_->setAcceptDrops(acceptDrops);
        iconView_->viewport()->setAcceptDrops(acceptDrops);
        views_->setCurrentWidget(iconView_);
    }
    setFocusProxy(views_->currentWidget());
    if (hadFocus) {
        views_->currentWidget()->setFocus();
    }
}

std::vector<pane_menu::Entry> CFileListView::ExpandMenu(std::span<const pane_menu::Entry> table) const {
    using namespace pane_menu;
    std::vector<Entry> entries;
    for (const Entry& entry : table) {
        switch (entry.kind) {
        case Entry::ViewModes:
            entries.insert(entries.end(),
                           {Sub(u"&View"), Item(commands_.largeIcons, u"Lar&ge Icons"),
                            Item(commands_.smallIcons, u"S&mall Icons"), Item(commands_.list, u"&List"),
                            Item(commands_.detail, u"&Detail"), kEndSub});
            break;
        case Entry::Arrange:
            entries.push_back(Sub(u"&Arrange Icons"));
            for (const SortCommand& sort : commands_.sorts) {
                entries.push_back(Item(sort.id, sort.menuText));
            }
            entries.push_back(kEndSub);
            break;
        default:
            entries.push_back(entry);
            break;
        }
    }
    return entries;
}

std::unique_ptr<QMenu> CFileListView::BuildContextMenu(bool itemMenu) {
    auto menu = std::make_unique<QMenu>();
    std::vector<QMenu*> open = {menu.get()};
    for (const pane_menu::Entry& entry : ExpandMenu(MenuTable(itemMenu))) {
        QMenu* into = open.back();
        switch (entry.kind) {
        case pane_menu::Entry::Separator:
            into->addSeparator();
            break;
        case pane_menu::Entry::Submenu:
            open.push_back(into->addMenu(QString::fromUtf16(entry.text)));
            break;
        case pane_menu::Entry::EndSubmenu:
            open.pop_back();
            break;
        case pane_menu::Entry::ViewModes:
        case pane_menu::Entry::Arrange:
            break; // written out by ExpandMenu
        case pane_menu::Entry::Command: {
            QAction* action = into->addAction(QString::fromUtf16(entry.text));
            action->setData(entry.id);
            action->setEnabled(IsCommandEnabled(entry.id));
            if (Mode mode; ModeOfCommand(entry.id, mode)) {
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

void CFileListView::ShowContextMenu(QAbstractItemView& view, const QPoint& at) {
    const std::unique_ptr<QMenu> menu = BuildContextMenu(HasItemSelection());
    menu->exec(view.viewport()->mapToGlobal(at));
}

bool CFileListView::HandleListKey(int key) {
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        OpenSelectedItem();
        return true;
    case Qt::Key_F2:
        RunCommand(commands_.rename);
        return true;
    case Qt::Key_Delete:
        RunCommand(commands_.remove);
        return true;
    default:
        return false;
    }
}

bool CFileListView::eventFilter(QObject* watched, QEvent* event) {
    const bool isView = watched == list_ || watched == iconView_;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        if (isView && !editing_ && plain && HandleListKey(key->key())) {
            return true;
        }
        break;
    }
    case QEvent::MouseButtonDblClick: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QAbstractItemView* view = watched == list_->viewport() ? static_cast<QAbstractItemView*>(list_)
                                  : watched == iconView_->viewport()
                                      ? static_cast<QAbstractItemView*>(iconView_)
                                      : nullptr;
        if (view != nullptr && mouse->button() == Qt::LeftButton) {
            OnDoubleClicked(view->indexAt(mouse->position().toPoint()));
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (watched == list_->viewport() || watched == iconView_->viewport()) {
            TakeDrag(*static_cast<QDropEvent*>(event));
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessaly
