// The transfer task list driven through the main window's engine view as the engine drives it: rows
// added at the end and at the top, row 0 removed, the list cleared, the running row's progress bar
// (its percentage, its colours, a file of 5 GiB, the pace of its repaints), and the main window's
// parts of a transfer: the closing question, the status bar's speed and time left, the wait cursor,
// the local pane's refresh and opening a fetched file.
#include "GuiSupport.h"
#include "MenuLines.h"
#include "panes/LocalListCtrl.h"
#include "panes/LocalListModel.h"
#include "panes/LocalView.h"
#include "support/EventPump.h"
#include "support/ScriptedPeer.h"
#include "transfer/TransferMeter.h"
#include "transfer/TransferTask.h"
#include "transfer/ui/TaskListCtrl.h"
#include "ui/CommandIds.h"
#include "ui/MainFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

constexpr qint64 kGiB = qint64(1) << 30;

// A task as a job would queue it; the test owns it, as the job entry would.
std::unique_ptr<TransferTask> MakeTask(const QString& localPath, const QByteArray& remotePath, qint64 size,
                                       bool upload = false, bool directory = false) {
    auto task = std::make_unique<TransferTask>();
    task->host = "ftp.example.org";
    task->user = "anonymous";
    task->localPath = localPath;
    task->remotePath = remotePath;
    task->displayName = remotePath.mid(remotePath.lastIndexOf('/') + 1);
    task->totalSize = size;
    task->upload = upload;
    task->directory = directory;
    return task;
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

// The pixels of a progress cell inside its border, and what they are made of.
struct BarPixels {
    QImage image;
    QRect inside; // within the bar's border

    static BarPixels Of(CTaskListCtrl& list, int row) {
        const QRect cell = list.CellRect(row, TaskColumn::Progress);
        BarPixels bar;
        bar.image = list.viewport()->grab(cell).toImage().convertToFormat(QImage::Format_RGB32);
        bar.inside = QRect(QPoint(0, 0), cell.size()).adjusted(2, 2, -2, -2);
        return bar;
    }
    QColor At(int x, int y) const { return QColor(image.pixel(x, y)); }
    // Pixels of the inside from column left up to (not including) column right that match.
    int Count(int left, int right, const std::function<bool(const QColor&)>& match) const {
        int count = 0;
        for (int y = inside.top(); y <= inside.bottom(); ++y) {
            for (int x = std::max(left, inside.left()); x < std::min(right, inside.right() + 1); ++x) {
                count += match(At(x, y)) ? 1 : 0;
            }
        }
        return count;
    }
    int CountAll(const std::function<bool(const QColor&)>& match) const {
        return Count(inside.left(), inside.right() + 1, match);
    }
    // The first column of the inside that is not filled, found along the inside's top line (the
    // text is centred vertically and never reaches it).
    int FilledEnd() const {
        int x = inside.left();
        while (x <= inside.right() && At(x, inside.top()) == QColor(0, 255, 0)) {
            ++x;
        }
        return x;
    }
};

bool IsWhite(const QColor& c) {
    return c.red() > 240 && c.green() > 240 && c.blue() > 240;
}
bool IsDark(const QColor& c) {
    return c.red() < 110 && c.green() < 110 && c.blue() < 110;
}
// What white text with its dark-green shadow gives over the green bar: green, white, the shadow's
// green and blends of them; never the text colour (black, or black blended into green).
bool IsGreenOrWhite(const QColor& c) {
    return c.green() > 120 && std::abs(c.red() - c.blue()) < 8;
}

class TaskListTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings().WriteInt(u"General", u"RetryNumber", 1);
        frame_ = std::make_unique<CMainFrame>(SettingsStore(settingsPath()));
        frame_->resize(1100, 720);
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
    }

    void TearDown() override {
        if (frame_) {
            settings().WriteInt(u"UserPrompt", u"PromptOnCloseMainWindow", 0);
            frame_->close();
        }
        frame_.reset();
    }

    QString settingsPath() const { return dir_.path() + u"/tessaly.INI"_s; }
    SettingsStore settings() const { return SettingsStore(settingsPath()); }
    CMainFrame& frame() { return *frame_; }
    EngineView& view() { return *frame_; }
    CTaskListCtrl& list() { return frame().TaskList(); }
    TaskListModel& model() { return list().Model(); }
    QString Cell(int row, TaskColumn column) { return model().index(row, int(column)).data().toString(); }
    QLabel& StatusPane(const QString& name) { return *frame().statusBar()->findChild<QLabel*>(name); }

    // A session whose control connection is up, at a server that never answers.
    void StartSilentSession() {
        silent_ = std::make_unique<ScriptedPeer>();
        ASSERT_NE(silent_->port(), 0);
        silent_->accept(); // and nothing more
        SessionEngine::StartRequest request;
        request.host = "127.0.0.1";
        request.port = silent_->port();
        frame().Engine().StartSession(request);
        ASSERT_TRUE(frame().Engine().HasControlConnection());
        ASSERT_NE(frame().Engine().Session(), nullptr);
    }

    QTemporaryDir dir_;
    std::unique_ptr<ScriptedPeer> silent_;
    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(TaskListTest, TheBottomLeftPaneIsTheListWithItsSixColumns) {
    EXPECT_EQ(&frame().TaskPane(), static_cast<QWidget*>(&list()));
    EXPECT_EQ(frame().BottomSplitter().widget(0), &list());
    const QStringList headers = {u"Local"_s,    u"Size"_s,   u"Transfering"_s,
                                 u"Progress"_s, u"Elapse"_s, u"Remote"_s};
    const QList<int> widths = {150, 100, 100, 120, 80, 200};
    ASSERT_EQ(model().columnCount(), 6);
    for (int column = 0; column < 6; ++column) {
        EXPECT_EQ(model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), headers[column]);
        EXPECT_EQ(list().header()->sectionSize(column), widths[column]) << column;
        EXPECT_EQ(model().headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>() &
                      Qt::AlignHorizontal_Mask,
                  Qt::AlignLeft);
    }
    EXPECT_EQ(model().rowCount(), 0);
    EXPECT_EQ(frame().TaskCount(), 0);

    // With the task list active the file-pane commands have no pane to go to.
    list().setFocus();
    ASSERT_TRUE(pumpEventsUntil([&] { return list().hasFocus(); }, 2000));
    EXPECT_EQ(frame().Active(), CMainFrame::ActivePane::None);
}

TEST_F(TaskListTest, RowsAreAddedAtTheEndOrAtTheTopAndRemovedFromTheTop) {
    const auto first = MakeTask(u"/home/ann/first.bin"_s, "/pub/first.bin", 1234);
    const auto second = MakeTask(u"/home/ann/up.txt"_s, "/incoming/up.txt", 5000000000LL, true);
    const auto top = MakeTask(u"/home/ann/Grüße.txt"_s,
                              "/pub/Gr\xc3\xbc\xc3\x9f"
                              "e.txt",
                              77);
    view().AddTaskRow(*first, true);
    view().AddTaskRow(*second, true);
    view().AddTaskRow(*top, false);
    ASSERT_EQ(frame().TaskCount(), 3);
    EXPECT_EQ(model().TaskAt(0), top.get());
    EXPECT_EQ(model().TaskAt(1), first.get());
    EXPECT_EQ(model().TaskAt(2), second.get());

    EXPECT_EQ(Cell(0, TaskColumn::Local), u"/home/ann/Grüße.txt"_s);
    EXPECT_EQ(Cell(0, TaskColumn::Remote), u"ftp.example.org/pub/Grüße.txt"_s);
    EXPECT_EQ(Cell(1, TaskColumn::Size), u"1234"_s);
    EXPECT_EQ(Cell(1, TaskColumn::Transferring), u"0"_s);
    EXPECT_EQ(Cell(2, TaskColumn::Size), u"5000000000"_s); // 64-bit sizes, as decimal numbers
    EXPECT_EQ(Cell(2, TaskColumn::Remote), u"ftp.example.org/incoming/up.txt"_s);
    EXPECT_TRUE(Cell(1, TaskColumn::Progress).isEmpty());
    EXPECT_TRUE(Cell(1, TaskColumn::Elapse).isEmpty());
    // The picture tells a download from an upload.
    const auto picture = [&](int row) {
        return model().index(row, 0).data(Qt::DecorationRole).value<QIcon>().pixmap(16, 16).toImage();
    };
    EXPECT_FALSE(picture(1).isNull());
    EXPECT_EQ(picture(0), picture(1));
    EXPECT_NE(picture(1), picture(2));

    // Row 0 goes alone; the others move up. Its task may go at once: the list no longer refers to it.
    view().RemoveTaskRow(0);
    ASSERT_EQ(frame().TaskCount(), 2);
    EXPECT_EQ(model().TaskAt(0), first.get());
    EXPECT_EQ(Cell(0, TaskColumn::Local), u"/home/ann/first.bin"_s);
    view().RemoveTaskRow(5); // no such row: nothing happens
    EXPECT_EQ(frame().TaskCount(), 2);

    view().ClearTasks();
    EXPECT_EQ(frame().TaskCount(), 0);
    EXPECT_EQ(model().TaskAt(0), nullptr);
}

TEST_F(TaskListTest, TheListForgetsARemovedRowsTask) {
    auto running = MakeTask(u"/tmp/a.bin"_s, "/a.bin", 1000);
    const auto next = MakeTask(u"/tmp/b.bin"_s, "/b.bin", 2000);
    view().AddTaskRow(*running, true);
    view().AddTaskRow(*next, true);
    view().ShowTaskProgress(0, 1000, 0);
    view().SetTaskProgress(0, 500);
    view().RemoveTaskRow(0);
    running.reset(); // the job entry deletes the task right after its row went
    // Painting and the pending progress report touch nothing of it.
    QTest::qWait(TaskListModel::kRepaintIntervalMs * 3);
    list().viewport()->grab();
    EXPECT_EQ(model().TaskAt(0), next.get());
    EXPECT_EQ(Cell(0, TaskColumn::Transferring), u"0"_s);
    EXPECT_TRUE(Cell(0, TaskColumn::Progress).isEmpty());
}

TEST_F(TaskListTest, ADirectoryRowShowsNoSizes) {
    const auto directory = MakeTask(u"/home/ann/docs"_s, "/pub/docs", 0, false, true);
    const auto file = MakeTask(u"/home/ann/docs/a.txt"_s, "/pub/docs/a.txt", 0);
    view().AddTaskRow(*directory, true);
    view().AddTaskRow(*file, true);
    EXPECT_EQ(Cell(0, TaskColumn::Local), u"/home/ann/docs"_s);
    EXPECT_TRUE(Cell(0, TaskColumn::Size).isEmpty());
    EXPECT_TRUE(Cell(0, TaskColumn::Transferring).isEmpty());
    EXPECT_EQ(Cell(0, TaskColumn::Remote), u"ftp.example.org/pub/docs"_s);
    // An empty file is a file: it says so.
    EXPECT_EQ(Cell(1, TaskColumn::Size), u"0"_s);
    EXPECT_EQ(Cell(1, TaskColumn::Transferring), u"0"_s);
}

TEST_F(TaskListTest, AResumedDownloadStartsAtItsOffset) {
    const auto task = MakeTask(u"/tmp/resumed.bin"_s, "/resumed.bin", 10000);
    task->exists = true;
    task->restSupported = true;
    task->startOffset = 4000;
    view().AddTaskRow(*task, true);
    // Nothing is drawn before the transfer starts.
    EXPECT_EQ(model().ProgressAt(0), nullptr);
    EXPECT_EQ(BarPixels::Of(list(), 0).CountAll([](const QColor& c) { return c == QColor(0, 255, 0); }), 0);

    TransferMeter meter(view());
    meter.Start(*task);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"40%"_s);
    EXPECT_EQ(Cell(0, TaskColumn::Transferring), u"4000"_s);
    EXPECT_EQ(Cell(0, TaskColumn::Elapse), u"00-00-00"_s);
    const BarPixels bar = BarPixels::Of(list(), 0);
    EXPECT_EQ(bar.FilledEnd() - bar.inside.left(), bar.inside.width() * 4 / 10);
    meter.Stop();
}

TEST_F(TaskListTest, ThePercentageIsWhiteOverTheFilledPart) {
    const auto task = MakeTask(u"/tmp/f.bin"_s, "/f.bin", 1000);
    view().AddTaskRow(*task, true);
    view().ShowTaskProgress(0, 1000, 1000);

    // Full: the text lies over the bar alone and is white throughout.
    BarPixels full = BarPixels::Of(list(), 0);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"100%"_s);
    EXPECT_EQ(full.CountAll([](const QColor& c) { return !IsGreenOrWhite(c); }), 0);
    EXPECT_GT(full.CountAll(IsWhite), 10);

    // Hardly started: the text lies over the background in the text colour.
    view().SetTaskProgress(0, 20);
    model().FlushProgress();
    const BarPixels start = BarPixels::Of(list(), 0);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"2%"_s);
    EXPECT_GT(start.Count(start.FilledEnd(), start.inside.right() + 1, IsDark), 10);
    EXPECT_EQ(start.CountAll(IsWhite), 0);

    // Half way the bar ends inside the text: white to its left, the text colour to its right.
    view().SetTaskProgress(0, 520);
    model().FlushProgress();
    const BarPixels half = BarPixels::Of(list(), 0);
    const int end = half.FilledEnd();
    EXPECT_NEAR(end - half.inside.left(), half.inside.width() * 52 / 100, 1);
    EXPECT_EQ(half.Count(half.inside.left(), end, [](const QColor& c) { return !IsGreenOrWhite(c); }), 0);
    EXPECT_GT(half.Count(half.inside.left(), end, IsWhite), 3);
    EXPECT_GT(half.Count(end, half.inside.right() + 1, IsDark), 3);

    // A selected row's bar is red, its text in the text colour.
    list().selectionModel()->select(model().index(0, 0),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const BarPixels selected = BarPixels::Of(list(), 0);
    EXPECT_EQ(selected.At(selected.inside.left() + 1, selected.inside.top()), QColor(255, 0, 0));
    EXPECT_EQ(selected.CountAll(IsWhite), 0);
    EXPECT_GT(selected.CountAll(IsDark), 10);
}

TEST_F(TaskListTest, AFileOfFiveGibibytesDrawsRight) {
    const qint64 total = 5 * kGiB;
    const auto task = MakeTask(u"/tmp/big.iso"_s, "/big.iso", total);
    view().AddTaskRow(*task, true);
    view().ShowTaskProgress(0, total, 0);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"0%"_s);
    const qint64 position = total / 4 * 3; // 4 026 531 840, past what 32 bits hold
    view().SetTaskProgress(0, position);
    model().FlushProgress();
    EXPECT_EQ(Cell(0, TaskColumn::Size), u"5368709120"_s);
    EXPECT_EQ(Cell(0, TaskColumn::Transferring), u"4026531840"_s);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"75%"_s);
    const BarPixels bar = BarPixels::Of(list(), 0);
    EXPECT_EQ(bar.FilledEnd() - bar.inside.left(), bar.inside.width() * 3 / 4);
    view().SetTaskProgress(0, total - 1);
    model().FlushProgress();
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"99%"_s);
    view().SetTaskProgress(0, total);
    model().FlushProgress();
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"100%"_s);
    EXPECT_EQ(BarPixels::Of(list(), 0).FilledEnd(), bar.inside.right() + 1);

    EXPECT_EQ(ScaleProgress(qint64(1) << 62, qint64(1) << 62, 1000), 1000);
    EXPECT_EQ(ScaleProgress((qint64(1) << 62) / 3, qint64(1) << 62, 300), 99);
    EXPECT_EQ(ScaleProgress(-5, 100, 100), 0);
    EXPECT_EQ(ScaleProgress(500, 100, 100), 100);
    EXPECT_EQ(ScaleProgress(5, 0, 100), 0);
}

TEST_F(TaskListTest, ChunkUpdatesRepaintAtTheListsOwnPace) {
    const auto running = MakeTask(u"/tmp/fast.bin"_s, "/fast.bin", 100000 * 8192LL);
    const auto queued = MakeTask(u"/tmp/next.bin"_s, "/next.bin", 10);
    view().AddTaskRow(*running, true);
    view().AddTaskRow(*queued, true);
    view().ShowTaskProgress(0, running->totalSize, 0);
    QTest::qWait(100);
    PaintCounter counter(*list().viewport());
    QSignalSpy changes(&model(), &QAbstractItemModel::dataChanged);

    // 100 000 chunks of 8 KiB in a burst: the loop turns the event loop now and then, as a pump's
    // socket events would.
    QElapsedTimer clock;
    clock.start();
    for (int chunk = 1; chunk <= 100000; ++chunk) {
        view().SetTaskProgress(0, chunk * 8192LL);
        if (chunk % 250 == 0) {
            QCoreApplication::processEvents();
            QTest::qSleep(1);
        }
    }
    const qint64 elapsed = clock.elapsed();
    QTest::qWait(TaskListModel::kRepaintIntervalMs * 3);
    const qint64 bound = (elapsed + 200) / TaskListModel::kRepaintIntervalMs + 3;
    EXPECT_GE(changes.size(), 1);
    EXPECT_LE(changes.size(), bound) << elapsed << " ms";
    EXPECT_LE(counter.paints, bound) << elapsed << " ms";
    EXPECT_GE(counter.paints, 1);
    // The last figures are the ones shown.
    EXPECT_EQ(Cell(0, TaskColumn::Transferring), QString::number(100000 * 8192LL));
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"100%"_s);
    EXPECT_EQ(BarPixels::Of(list(), 0).FilledEnd(), BarPixels::Of(list(), 0).inside.right() + 1);

    // Without the event loop turning, a burst is reported once after it.
    changes.clear();
    for (int chunk = 1; chunk <= 100000; ++chunk) {
        view().SetTaskProgress(0, chunk);
    }
    EXPECT_EQ(changes.size(), 0);
    QTest::qWait(TaskListModel::kRepaintIntervalMs * 3);
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(Cell(0, TaskColumn::Transferring), u"100000"_s);
}

TEST_F(TaskListTest, RedrawCanBeHeldBackAndResumed) {
    const auto running = MakeTask(u"/tmp/run.bin"_s, "/run.bin", 1000);
    view().AddTaskRow(*running, true);
    view().ShowTaskProgress(0, 1000, 0);
    QTest::qWait(100);
    PaintCounter counter(*list().viewport());
    QSignalSpy changes(&model(), &QAbstractItemModel::dataChanged);

    view().SetTaskRedraw(false);
    std::vector<std::unique_ptr<TransferTask>> contents;
    for (int i = 0; i < 50; ++i) {
        contents.push_back(
            MakeTask(u"/tmp/dir/%1.txt"_s.arg(i), "/dir/" + QByteArray::number(i) + ".txt", i));
        view().AddTaskRow(*contents.back(), true);
    }
    view().SetTaskProgress(0, 250);
    QTest::qWait(TaskListModel::kRepaintIntervalMs * 3);
    EXPECT_EQ(changes.size(), 0);
    EXPECT_EQ(counter.paints, 0);

    view().SetTaskRedraw(true);
    EXPECT_EQ(changes.size(), 1); // what changed meanwhile, at once
    QTest::qWait(50);
    EXPECT_GE(counter.paints, 1);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"25%"_s);
    EXPECT_EQ(frame().TaskCount(), 51);
}

TEST_F(TaskListTest, TheContextMenuRunsTheMainWindowsAbortAndDisconnect) {
    EXPECT_EQ(MenuLines(*list().BuildContextMenu()),
              (QStringList{u"&Abort (off)"_s, u"&Disconnect (off)"_s}));

    // While a connection is being made, Abort can run; it is the main window's command, question
    // and all.
    StartSilentSession();
    settings().WriteInt(u"UserPrompt", u"PromptOnAbortFtpCommand", 1);
    const std::unique_ptr<QMenu> menu = list().BuildContextMenu();
    EXPECT_EQ(MenuLines(*menu), (QStringList{u"&Abort"_s, u"&Disconnect (off)"_s}));
    QString question;
    HandleNextModal([&](QWidget* modal) {
        question = ModalText(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
    });
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::kAbort) {
            action->trigger();
        }
    }
    EXPECT_EQ(question, u"Are you sure want to abort current conmands?"_s);
    EXPECT_TRUE(frame().Engine().HasControlConnection()); // No: nothing was aborted
}

TEST_F(TaskListTest, TheClosingQuestionCountsTheRows) {
    StartSilentSession();
    settings().WriteInt(u"UserPrompt", u"PromptOnCloseMainWindow", 1);
    const auto task = MakeTask(u"/tmp/q.bin"_s, "/q.bin", 10);
    view().AddTaskRow(*task, true);
    QString question;
    HandleNextModal([&](QWidget* modal) {
        question = ModalText(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(frame().close());
    EXPECT_EQ(
        question,
        u"If you close window all active task will be aborted, are you sure want to close Tessaly Client?"_s);

    view().RemoveTaskRow(0);
    HandleNextModal([&](QWidget* modal) {
        question = ModalText(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(frame().close());
    EXPECT_EQ(question, u"Connection is avtive, are you sure want to quit Tessaly Client?"_s);
}

TEST_F(TaskListTest, TheStatusBarShowsSpeedAndTimeLeftByTheIdleRule) {
    QLabel& speed = StatusPane(u"SpeedPane"_s);
    QLabel& left = StatusPane(u"TimeLeftPane"_s);
    const QFontMetrics metrics(frame().statusBar()->font());
    EXPECT_EQ(speed.minimumWidth(), metrics.horizontalAdvance(QString(29, u' ')));
    EXPECT_EQ(left.minimumWidth(), metrics.horizontalAdvance(QString(30, u' ')));

    // 81 920 bytes in 8 seconds, 102 400 to go.
    view().SetTransferStatus(SpeedText(81920, 8).value(), TimeLeftText(102400, 81920, 8).value());
    EXPECT_EQ(speed.text(), u"Transfer speed: 10.00 kb/s"_s);
    EXPECT_EQ(left.text(), u"Left: 00:00:10"_s);

    // Without a session the panes are left alone.
    view().SessionIdle();
    EXPECT_EQ(speed.text(), u"Transfer speed: 10.00 kb/s"_s);

    // While a job runs they keep their texts.
    StartSilentSession();
    // The job engine sets this flag; the test stands in for it.
    const_cast<FtpSession*>(frame().Engine().Session())->jobRunning = true;
    view().SessionIdle();
    EXPECT_TRUE(speed.isEnabled());
    EXPECT_EQ(speed.text(), u"Transfer speed: 10.00 kb/s"_s);
    EXPECT_EQ(left.text(), u"Left: 00:00:10"_s);

    // Otherwise they are emptied.
    const_cast<FtpSession*>(frame().Engine().Session())->jobRunning = false;
    view().SessionIdle();
    EXPECT_TRUE(speed.text().isEmpty());
    EXPECT_TRUE(left.text().isEmpty());

    // After the session closed they keep whatever the last transfer left.
    view().SetTransferStatus(u"Transfer speed: 3.00 kb/s"_s, QString());
    frame().Engine().CloseSession();
    EXPECT_EQ(speed.text(), u"Transfer speed: 3.00 kb/s"_s);
}

TEST_F(TaskListTest, TheWaitCursorIsSetAndRestoredInBalance) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    view().SetWaitCursor(true);
    view().SetWaitCursor(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    view().SetWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    view().SetWaitCursor(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // A window that goes while waiting takes its cursor with it.
    view().SetWaitCursor(true);
    frame_->close();
    frame_.reset();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(TaskListTest, FetchedFilesOpenInTheViewerOrWithTheirHandler) {
    QList<QUrl> opened;
    QList<QStringList> started;
    frame().LocalPane().SetShell({[&](const QUrl& url) {
                                      opened.append(url);
                                      return true;
                                  },
                                  [&](const QString& program, const QStringList& arguments) {
                                      started.append(QStringList{program} + arguments);
                                      return true;
                                  }});
    const QString path = dir_.filePath(u"fetched.txt"_s);
    view().OpenFetchedFile(path, FetchedFileAction::View);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    EXPECT_TRUE(started.isEmpty());

    settings().WriteString(u"Miscellaneous", u"FileViewer", u"/usr/bin/myviewer"_s);
    opened.clear();
    view().OpenFetchedFile(path, FetchedFileAction::View);
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(started, (QList<QStringList>{{u"/usr/bin/myviewer"_s, path}}));

    // Run always goes to the desktop's handler.
    started.clear();
    view().OpenFetchedFile(path, FetchedFileAction::Run);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    EXPECT_TRUE(started.isEmpty());
}

TEST_F(TaskListTest, TheLocalPaneShowsFilesThatArrived) {
    QTemporaryDir downloads;
    ASSERT_TRUE(frame().LocalPane().SetDirectory(downloads.path()));
    const auto names = [&] {
        QStringList shown;
        const LocalListModel& local = frame().LocalPane().List().Model();
        for (int row = 0; row < local.rowCount(); ++row) {
            shown.append(local.Name(row));
        }
        return shown;
    };
    EXPECT_FALSE(names().contains(u"arrived.bin"_s));
    QFile file(downloads.filePath(u"arrived.bin"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    view().RefreshLocalPane();
    EXPECT_TRUE(names().contains(u"arrived.bin"_s));
}

TEST_F(TaskListTest, ScreenshotOfATransferUnderWay) {
    const qint64 isoSize = 659554304;
    const auto running = MakeTask(u"/home/ann/Downloads/debian-12.5.0-amd64-netinst.iso"_s,
                                  "/debian-cd/12.5.0/amd64/iso-cd/debian-12.5.0-amd64-netinst.iso", isoSize);
    const auto queued =
        MakeTask(u"/home/ann/Downloads/SHA256SUMS"_s, "/debian-cd/12.5.0/amd64/iso-cd/SHA256SUMS", 1015);
    const auto directory = MakeTask(u"/home/ann/Downloads/firmware"_s, "/debian-cd/firmware", 0, false, true);
    const auto upload =
        MakeTask(u"/home/ann/notes/report.pdf"_s, "/incoming/report.pdf", 5 * kGiB + 12345, true);
    for (const auto* task : {running.get(), queued.get(), directory.get(), upload.get()}) {
        view().AddTaskRow(*task, true);
    }
    view().ShowTaskProgress(0, isoSize, 0);
    view().SetTaskProgress(0, isoSize / 100 * 60 + 4096);
    view().SetTaskCell(0, TaskColumn::Elapse, ElapseText(72));
    view().SetTransferStatus(u"Transfer speed: 5495.00 kb/s"_s, u"Left: 00:00:47"_s);
    frame().BottomSplitter().setSizes({760, 340});
    QTest::qWait(TaskListModel::kRepaintIntervalMs * 3);
    EXPECT_EQ(Cell(0, TaskColumn::Progress), u"60%"_s);
    EXPECT_FALSE(SaveScreenshot(list(), u"task-list-mid-transfer"_s).isEmpty());
    list().selectionModel()->select(model().index(0, 0),
                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    list().setFocus();
    QTest::qWait(50);
    EXPECT_FALSE(SaveScreenshot(list(), u"task-list-mid-transfer-selected"_s).isEmpty());
    EXPECT_FALSE(SaveScreenshot(frame(), u"main-window-transfer"_s).isEmpty());
}

} // namespace
} // namespace tessaly::test
