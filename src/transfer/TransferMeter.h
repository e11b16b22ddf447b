#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

namespace tessaly {

class EngineView;
struct TransferTask;

// "%H-%M-%S" of a number of seconds, the task list's "Elapse" cell; hours past 24 keep counting.
QString ElapseText(qint64 seconds);
// "Transfer speed: %.2f kb/s": the bytes moved since the start offset over the elapsed seconds, in
// whole kilobytes a second (integer division, so the decimals are always zero). Nothing before a
// whole second has passed.
std::optional<QString> SpeedText(qint64 movedBytes, qint64 elapsedSeconds);
// "Left: %H:%M:%S": the bytes still to move at the whole-kilobyte speed of SpeedText. Nothing while
// that speed is 0.
std::optional<QString> TimeLeftText(qint64 remainingBytes, qint64 movedBytes, qint64 elapsedSeconds);

// The running transfer's figures: row 0's progress bar from the resume point, its "Elapse" cell,
// and once a second the status bar's speed and time left. Elapsed time is counted from the moment
// the task was queued, on a monotonic clock, so a task that waited counts its wait and a change of
// the wall clock never gives negative figures.
class TransferMeter {
public:
    explicit TransferMeter(EngineView& view);
    TransferMeter(const TransferMeter&) = delete;
    TransferMeter& operator=(const TransferMeter&) = delete;

    // Row 0's transfer starts: its bar spans the file and stands at the start offset, which the
    // task's transferred count takes; the once-a-second update starts.
    void Start(TransferTask& task);
    // The row is gone: the update stops, and the status bar keeps its last texts.
    void Stop();
    // The once-a-second update (timer 15).
    void Tick();

    const TransferTask* Task() const { return task_; }
    const QTimer& Timer() const { return timer_; }

private:
    EngineView& view_;
    TransferTask* task_ = nullptr;
    QTimer timer_;
    QObject context_;
};

} // namespace tessaly
