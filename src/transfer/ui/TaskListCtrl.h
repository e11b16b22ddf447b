#pragma once

#include "panes/LCCListCtrl.h"
#include "transfer/ui/TaskListModel.h"

#include <QStyledItemDelegate>
#include <QTreeView>
#include <array>
#include <functional>
#include <memory>

class QMenu;

namespace tessaly {

// Draws the cells of the task list: the "Progress" cell of a row whose transfer has started shows
// the row's CTextProgressCtrl, red rather than green while the row is selected; a local path too long
// for its cell loses its start rather than the file name, a remote one its middle (the host stays).
class TaskListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The transfer task list pane: one row per queued file or directory over TaskListModel, six
// left-aligned columns with their widths, the running row's progress bar, and a context menu with
// the main window's "&Abort" and "&Disconnect".
class CTaskListCtrl : public CLCCListCtrl {
    Q_OBJECT
public:
    static constexpr std::array<int, kTaskColumnCount> kColumnWidths = {150, 100, 100, 120, 80, 200};

    explicit CTaskListCtrl(QWidget* parent = nullptr);
    ~CTaskListCtrl() override;

    TaskListModel& Model() { return model_; }
    const TaskListModel& Model() const { return model_; }

    // Stops (false) and resumes (true) redrawing while many rows change at once.
    void SetRedraw(bool enabled);

    // The commands of the context menu, by their numbers (ui/CommandIds.h): whether each can run now,
    // and running it. Without them the entries are disabled.
    void SetCommandHandlers(std::function<bool(int id)> enabled, std::function<void(int id)> run);
    // The context menu as it would open now.
    std::unique_ptr<QMenu> BuildContextMenu();

    // The rectangle of a cell in viewport coordinates (for tests).
    QRect CellRect(int row, TaskColumn column) const;

signals:
    void focusGained();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    TaskListModel model_;
    TaskListDelegate delegate_;
    std::function<bool(int)> commandEnabled_;
    std::function<void(int)> runCommand_;
};

} // namespace tessaly
