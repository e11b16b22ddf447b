#pragma once

#include "transfer/TransferTask.h"
#include "transfer/ui/TextProgressCtrl.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QTimer>
#include <array>
#include <optional>
#include <vector>

namespace tessaly {

inline constexpr int kTaskColumnCount = 6;

// The arrow pictures of the "Local" column, drawn here (16 × 16 and larger): an arrow down into a
// tray for a download, up out of it for an upload.
QIcon TransferDirectionIcon(bool upload);

// The rows of the transfer task list, in the order the tasks will run: row 0 is the one that runs
// now. Each row refers to its task (owned by the engine) and keeps the texts of its cells; a row's
// task pointer goes with the row, and nothing of the task is read after the row was added.
//
// The running row's progress changes after every chunk a pump moves, far more often than a screen
// can show: SetProgress only keeps the number, and the rows it touched are reported changed at most
// once every kRepaintIntervalMs. SetRedraw(false) holds even that back until SetRedraw(true).
class TaskListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kRepaintIntervalMs = 40;

    explicit TaskListModel(QObject* parent = nullptr);

    // Adds a row for the task at the end (append) or at the top; returns its row.
    int AddTask(const TransferTask& task, bool append);
    // Removes one row with its progress bar (nothing when there is no such row).
    void RemoveTask(int row);
    void Clear();
    // The task of a row (null for no such row).
    const TransferTask* TaskAt(int row) const;

    void SetCell(int row, TaskColumn column, const QString& text);
    // The row's progress bar appears, spanning 0 to total and standing at position; the
    // "Transfering" count follows it.
    void ShowProgress(int row, qint64 total, qint64 position);
    // Moves the row's bar and its "Transfering" count. Cheap: the change is reported later.
    void SetProgress(int row, qint64 position);
    // Holds back (false) or resumes (true) the reports of changed progress; resuming reports what
    // changed meanwhile at once.
    void SetRedraw(bool enabled);
    bool RedrawEnabled() const { return redraw_; }

    // The bar of a row, null before its transfer started.
    const CTextProgressCtrl* ProgressAt(int row) const;
    // What a cell shows (the percentage in the "Progress" column once the bar is there).
    QString CellText(int row, TaskColumn column) const;
    // Reports the progress changed so far now rather than at the next tick.
    void FlushProgress();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        const TransferTask* task = nullptr;
        bool upload = false;
        bool directory = false;
        std::array<QString, kTaskColumnCount> texts; // "Transfering" only while not following
        bool transferredFollowsPosition = false;     // "Transfering" is the position's number
        qint64 position = 0;
        std::optional<CTextProgressCtrl> progress;
    };

    bool IsRow(int row) const { return row >= 0 && row < int(rows_.size()); }
    void ForgetChangedProgress();

    std::vector<Row> rows_;
    bool redraw_ = true;
    // The rows whose progress changed since the last report (first > last: none).
    int changedFirst_ = 0;
    int changedLast_ = -1;
    QTimer repaintTimer_;
};

} // namespace tessaly
