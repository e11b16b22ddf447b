#include "transfer/ui/TaskListModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTransform>
#include <algorithm>

namespace tessaly {

using namespace Qt::StringLiterals;

namespace {

constexpr std::array<const char16_t*, kTaskColumnCount> kHeaders = {u"Local",    u"Size",   u"Transfering",
                                                                    u"Progress", u"Elapse", u"Remote"};

constexpr int Column(TaskColumn column) {
    return int(column);
}

// An arrow in a square of side size: down into a tray (download) or up out of it (upload).
QPixmap ArrowPixmap(bool upload, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    painter.scale(unit, unit);

    // The tray: a flat U along the bottom.
    QPainterPath tray;
    tray.moveTo(2.5, 10.5);
    tray.lineTo(2.5, 14.5);
    tray.lineTo(13.5, 14.5);
    tray.lineTo(13.5, 10.5);
    painter.setPen(QPen(QColor(0x55, 0x5B, 0x66), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(tray);

    // The arrow: a shaft and a head, pointing down to the tray or up away from it.
    QPainterPath arrow;
    arrow.moveTo(8, 12.6);
    arrow.lineTo(13.2, 7.2);
    arrow.lineTo(10, 7.2);
    arrow.lineTo(10, 1.2);
    arrow.lineTo(6, 1.2);
    arrow.lineTo(6, 7.2);
    arrow.lineTo(2.8, 7.2);
    arrow.closeSubpath();
    if (upload) {
        arrow = QTransform(1, 0, 0, -1, 0, 13.4).map(arrow); // the same arrow, pointing up
    }
    const QColor fill = upload ? QColor(0x2E, 0x9E, 0x3A) : QColor(0x1E, 0x64, 0xC8);
    // A light rim keeps the arrow apart from a selected row's highlight.
    painter.setPen(QPen(QColor(255, 255, 255, 200), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(arrow);
    painter.setPen(QPen(fill.darker(140), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(fill);
    painter.drawPath(arrow);
    return pixmap;
}

} // namespace

QIcon TransferDirectionIcon(bool upload) {
    const auto make = [](bool up) {
        QIcon icon;
        for (const int size : {16, 24, 32}) {
            const QPixmap pixmap = ArrowPixmap(up, size);
            icon.addPixmap(pixmap, QIcon::Normal);
            icon.addPixmap(pixmap, QIcon::Selected); // not tinted with the highlight
        }
        return icon;
    };
    static const QIcon icons[2] = {make(false), make(true)};
    return icons[upload ? 1 : 0];
}

TaskListModel::TaskListModel(QObject* parent) : QAbstractTableModel(parent) {
    repaintTimer_.setSingleShot(true);
    repaintTimer_.setInterval(kRepaintIntervalMs);
    connect(&repaintTimer_, &QTimer::timeout, this, &TaskListModel::FlushProgress);
}

int TaskListModel::AddTask(const TransferTask& task, bool append) {
    Row row;
    row.task = &task;
    row.upload = task.upload;
    row.directory = task.directory;
    row.texts[Column(TaskColumn::Local)] = task.localPath;
    if (!task.directory) {
        row.texts[Column(TaskColumn::Size)] = QString::number(task.totalSize);
        row.texts[Column(TaskColumn::Transferring)] = u"0"_s;
    }
    row.texts[Column(TaskColumn::Remote)] = QString::fromUtf8(task.RemoteText());
    const int at = append ? int(rows_.size()) : 0;
    // The rows move: what changed is reported by the insertion itself.
    ForgetChangedProgress();
    beginInsertRows({}, at, at);
    rows_.insert(rows_.begin() + at, std::move(row));
    endInsertRows();
    return at;
}

void TaskListModel::RemoveTask(int row) {
    if (!IsRow(row)) {
        return;
    }
    ForgetChangedProgress();
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void TaskListModel::Clear() {
    ForgetChangedProgress();
    if (rows_.empty()) {
        return;
    }
    beginResetModel();
    rows_.clear();
    endResetModel();
}

const TransferTask* TaskListModel::TaskAt(int row) const {
    return IsRow(row) ? rows_[std::size_t(row)].task : nullptr;
}

void TaskListModel::SetCell(int row, TaskColumn column, const QString& text) {
    if (!IsRow(row) || column == TaskColumn::Progress) {
        return;
    }
    Row& target = rows_[std::size_t(row)];
    target.texts[Column(column)] = text;
    if (column == TaskColumn::Transferring) {
        target.transferredFollowsPosition = false;
    }
    const QModelIndex cell = index(row, Column(column));
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

void TaskListModel::ShowProgress(int row, qint64 total, qint64 position) {
    if (!IsRow(row)) {
        return;
    }
    Row& target = rows_[std::size_t(row)];
    CTextProgressCtrl bar;
    bar.lower = 0;
    bar.upper = total;
    bar.position = position;
    bar.showText = true;
    bar.barColour = QColor(0x00, 0xFF, 0x00);         // 0x00FF00
    bar.selectedBarColour = QColor(0xFF, 0x00, 0x00); // 0x0000FF as the platform writes red
    target.progress = bar;
    target.position = position;
    target.transferredFollowsPosition = true;
    emit dataChanged(index(row, Column(TaskColumn::Transferring)), index(row, Column(TaskColumn::Progress)));
}

void TaskListModel::SetProgress(int row, qint64 position) {
    if (!IsRow(row)) {
        return;
    }
    Row& target = rows_[std::size_t(row)];
    target.position = position;
    target.transferredFollowsPosition = true;
    if (target.progress) {
        target.progress->position = position;
    }
    if (changedFirst_ > changedLast_) {
        changedFirst_ = changedLast_ = row;
    } else {
        changedFirst_ = std::min(changedFirst_, row);
        changedLast_ = std::max(changedLast_, row);
    }
    if (redraw_ && !repaintTimer_.isActive()) {
        repaintTimer_.start();
    }
}

void TaskListModel::SetRedraw(bool enabled) {
    if (redraw_ == enabled) {
        return;
    }
    redraw_ = enabled;
    if (enabled) {
        FlushProgress();
    } else {
        repaintTimer_.stop();
    }
}

void TaskListModel::FlushProgress() {
    repaintTimer_.stop();
    if (changedFirst_ > changedLast_) {
        return;
    }
    const int first = changedFirst_;
    const int last = std::min(changedLast_, int(rows_.size()) - 1);
    ForgetChangedProgress();
    if (first <= last) {
        emit dataChanged(index(first, Column(TaskColumn::Transferring)),
                         index(last, Column(TaskColumn::Progress)), {Qt::DisplayRole});
    }
}

void TaskListModel::ForgetChangedProgress() {
    changedFirst_ = 0;
    changedLast_ = -1;
    repaintTimer_.stop();
}

const CTextProgressCtrl* TaskListModel::ProgressAt(int row) const {
    if (!IsRow(row)) {
        return nullptr;
    }
    const Row& target = rows_[std::size_t(row)];
    return target.progress ? &*target.progress : nullptr;
}

QString TaskListModel::CellText(int row, TaskColumn column) const {
    if (!IsRow(row)) {
        return {};
    }
    const Row& target = rows_[std::size_t(row)];
    switch (column) {
    case TaskColumn::Transferring:
        return target.transferredFollowsPosition ? QString::number(target.position)
                                                 : target.texts[Column(column)];
    case TaskColumn::Progress:
        return target.progress && target.progress->lower < target.progress->upper ? target.progress->Text()
                                                                                  : QString();
    default:
        return target.texts[Column(column)];
    }
}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int TaskListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kTaskColumnCount;
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !IsRow(index.row()) || index.column() < 0 || index.column() >= kTaskColumnCount) {
        return {};
    }
    const auto column = TaskColumn(index.column());
    switch (role) {
    case Qt::DisplayRole:
        return CellText(index.row(), column);
    case Qt::ToolTipRole:
        if (column == TaskColumn::Local || column == TaskColumn::Remote) {
            return CellText(index.row(), column);
        }
        return {};
    case Qt::DecorationRole:
        if (column == TaskColumn::Local) {
            return TransferDirectionIcon(rows_[std::size_t(index.row())].upload);
        }
        return {};
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kTaskColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromUtf16(kHeaders[std::size_t(section)]);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    return {};
}

} // namespace tessaly
