#include "transfer/ui/TaskListCtrl.h"

#include "ui/CommandIds.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>

namespace tessaly {

namespace {

struct MenuEntry {
    int id;
    const char16_t* text;
};

constexpr MenuEntry kMenu[] = {{cmd::kAbort, u"&Abort"}, {cmd::kDisconnect, u"&Disconnect"}};

} // namespace

void TaskListDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    option->textElideMode = index.column() == int(TaskColumn::Local) ? Qt::ElideLeft : Qt::ElideMiddle;
}

void TaskListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    if (index.column() != int(TaskColumn::Progress)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // The cell's background (with the row's selection) as the list draws it, then the bar over it.
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

    const auto* model = qobject_cast<const TaskListModel*>(index.model());
    const CTextProgressCtrl* bar = model != nullptr ? model->ProgressAt(index.row()) : nullptr;
    if (bar == nullptr) {
        return;
    }
    QPalette palette = option.palette;
    palette.setCurrentColorGroup(QPalette::Active); // the bar keeps its colours when the list has no focus
    bar->Draw(*painter, option.rect, (option.state & QStyle::State_Selected) != 0, palette, option.font);
}

CTaskListCtrl::CTaskListCtrl(QWidget* parent) : CLCCListCtrl(parent), model_(this), delegate_(this) {
    setTextElideMode(Qt::ElideMiddle);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setModel(&model_);
    setItemDelegate(&delegate_);

    QHeaderView* top = header();
    top->setStretchLastSection(false);
    top->setSectionsMovable(false);
    top->setSectionsClickable(false);
    top->setHighlightSections(false);
    top->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < kTaskColumnCount; ++column) {
        top->setSectionResizeMode(column, QHeaderView::Interactive);
        top->resizeSection(column, kColumnWidths[std::size_t(column)]);
    }
}

CTaskListCtrl::~CTaskListCtrl() {
    // The view lets go of its model and delegate before they, members of this object, go.
    setItemDelegate(nullptr);
    setModel(nullptr);
}

void CTaskListCtrl::SetRedraw(bool enabled) {
    model_.SetRedraw(enabled);
    viewport()->setUpdatesEnabled(enabled);
    if (enabled) {
        viewport()->update();
    }
}

void CTaskListCtrl::SetCommandHandlers(std::function<bool(int id)> enabled, std::function<void(int id)> run) {
    commandEnabled_ = std::move(enabled);
    runCommand_ = std::move(run);
}

std::unique_ptr<QMenu> CTaskListCtrl::BuildContextMenu() {
    auto menu = std::make_unique<QMenu>();
    for (const MenuEntry& entry : kMenu) {
        QAction* action = menu->addAction(QString::fromUtf16(entry.text));
        action->setData(entry.id);
        action->setEnabled(commandEnabled_ && runCommand_ && commandEnabled_(entry.id));
        const int id = entry.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (runCommand_) {
                runCommand_(id);
            }
        });
    }
    return menu;
}

void CTaskListCtrl::contextMenuEvent(QContextMenuEvent* event) {
    const std::unique_ptr<QMenu> menu = BuildContextMenu();
    menu->exec(event->globalPos());
    event->accept();
}

void CTaskListCtrl::focusInEvent(QFocusEvent* event) {
    QTreeView::focusInEvent(event);
    emit focusGained();
}

QRect CTaskListCtrl::CellRect(int row, TaskColumn column) const {
    return visualRect(model_.index(row, int(column)));
}

} // namespace tessaly
