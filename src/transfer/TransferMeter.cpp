#include "transfer/TransferMeter.h"

#include "session/EngineView.h"
#include "transfer/TransferTask.h"

namespace tessaly {

namespace {

QString HoursMinutesSeconds(qint64 seconds, QChar separator) {
    seconds = qMax<qint64>(0, seconds);
    const auto twoDigits = [](qint64 value) { return QString::number(value).rightJustified(2, u'0'); };
    return twoDigits(seconds / 3600) + separator + twoDigits(seconds / 60 % 60) + separator +
           twoDigits(seconds % 60);
}

// Whole kilobytes a second, or nothing before a whole second has passed.
std::optional<qint64> Speed(qint64 movedBytes, qint64 elapsedSeconds) {
    if (elapsedSeconds <= 0) {
        return std::nullopt;
    }
    return qMax<qint64>(0, movedBytes) / (elapsedSeconds * 1024);
}

} // namespace

QString ElapseText(qint64 seconds) {
    return HoursMinutesSeconds(seconds, u'-');
}

std::optional<QString> SpeedText(qint64 movedBytes, qint64 elapsedSeconds) {
    const std::optional<qint64> speed = Speed(movedBytes, elapsedSeconds);
    if (!speed) {
        return std::nullopt;
    }
    return QStringLiteral("Transfer speed: %1 kb/s").arg(double(*speed), 0, 'f', 2);
}

std::optional<QString> TimeLeftText(qint64 remainingBytes, qint64 movedBytes, qint64 elapsedSeconds) {
    const std::optional<qint64> speed = Speed(movedBytes, elapsedSeconds);
    if (!speed || *speed == 0) {
        return std::nullopt;
    }
    const auto left = qint64(double(qMax<qint64>(0, remainingBytes)) / (double(*speed) * 1024.0));
    return QStringLiteral("Left: ") + HoursMinutesSeconds(left, u':');
}

TransferMeter::TransferMeter(EngineView& view) : view_(view) {
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, &context_, [this] { Tick(); });
}

void TransferMeter::Start(TransferTask& task) {
    task_ = &task;
    if (!task.progressShown) {
        task.progressShown = true;
        task.transferred = task.startOffset;
        view_.ShowTaskProgress(0, task.totalSize, task.transferred);
        timer_.start();
        view_.SetTaskCell(0, TaskColumn::Elapse, ElapseText(task.queuedClock.elapsed() / 1000));
    }
}

void TransferMeter::Stop() {
    timer_.stop();
    task_ = nullptr;
}

void TransferMeter::Tick() {
    if (!task_) {
        return;
    }
    const qint64 elapsed = task_->queuedClock.elapsed() / 1000;
    view_.SetTaskCell(0, TaskColumn::Elapse, ElapseText(elapsed));
    const qint64 moved = task_->transferred - task_->startOffset;
    const std::optional<QString> speed = SpeedText(moved, elapsed);
    if (!speed) {
        return;
    }
    view_.SetTransferStatus(
        *speed, TimeLeftText(task_->totalSize - task_->transferred, moved, elapsed).value_or(QString()));
}

} // namespace tessaly
