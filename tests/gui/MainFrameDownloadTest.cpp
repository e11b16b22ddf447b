// Downloads in the main window from a real server: started by the Download command, by remote rows
// dropped on the local pane or by a double-click; the task rows as they go, the drops the local pane
// refuses, the File Confirmation question for a file that is there already, and Abort mid-file.
#include "GuiSupport.h"
#include "MainFrameFixture.h"
#include "panes/LocalListCtrl.h"
#include "panes/LocalView.h"
#include "panes/OutputView.h"
#include "panes/RemoteView.h"
#include "support/EventPump.h"
#include "transfer/ui/TaskListCtrl.h"
#include "ui/CommandIds.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMap>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <ostream>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

// Downloads: the remote rows picked and dragged as a user would.
class MainFrameDownloadTest : public MainFrameTransferTest {
protected:
    // Selects the remote rows by name with the mouse: a click, then Ctrl+clicks.
    void SelectRemote(const QStringList& names) {
        QTreeView& list = RemoteList();
        for (qsizetype i = 0; i < names.size(); ++i) {
            const int row = int(RemoteNames().indexOf(names[i]));
            ASSERT_GE(row, 0) << qPrintable(names[i]) << " in " << qPrintable(RemoteNames().join(u','));
            const QPoint at = list.visualRect(list.model()->index(row, 0)).center();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                              at);
        }
    }

    // What a drag of the selected remote rows carries.
    std::unique_ptr<QMimeData> RemoteDragData() {
        return std::unique_ptr<QMimeData>(
            RemoteList().model()->mimeData(RemoteList().selectionModel()->selectedIndexes()));
    }
};

// The ways a user starts a download, each of the selected items arriving whole in the local pane's
// folder (a directory as its whole tree) through task rows whose files reach 100 % before they go.
enum class Start { DownloadCommand, DropOnDetailList, DropOnIconView, DoubleClick };

struct StartCase {
    const char* label;
    Start start;
    QStringList names;
};

void PrintTo(const StartCase& given, std::ostream* out) {
    *out << given.label;
}

class DownloadStarts : public MainFrameDownloadTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(DownloadStarts, TheItemsArriveThroughTaskRowsThatReachTheirEnd) {
    const StartCase& given = GetParam();
    // docs holds a directory within and an empty one besides its files: the tree comes whole.
    ASSERT_TRUE(QDir(ServerPath(u"docs"_s)).mkpath(u"drafts/old"_s));
    ASSERT_TRUE(QDir(ServerPath(u"docs"_s)).mkpath(u"empty"_s));
    ASSERT_TRUE(WriteAll(ServerPath(u"docs/drafts/old/first.txt"_s), "first draft\n"));
    TaskRowWatch watch(frame().TaskList().Model());
    RemoteList().setFocus(); // the remote pane is the active one
    SelectRemote(given.names);
    ASSERT_FALSE(HasFatalFailure());
    switch (given.start) {
    case Start::DownloadCommand:
        TriggerWhenEnabled(cmd::kDownload);
        break;
    case Start::DropOnDetailList:
        ASSERT_TRUE(DropOn(*frame().LocalPane().List().viewport(), *RemoteDragData()));
        break;
    case Start::DropOnIconView:
        frame().LocalPane().RunCommand(cmd::local::kLargeIcons);
        ASSERT_TRUE(DropOn(*frame().LocalPane().IconView().viewport(), *RemoteDragData()));
        break;
    case Start::DoubleClick: {
        settings().WriteInt(u"Miscellaneous", u"DbClickType", 2);
        QTreeView& list = RemoteList();
        const QPoint at =
            list.visualRect(list.model()->index(int(RemoteNames().indexOf(given.names.front())), 0)).center();
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
        break;
    }
    }
    ASSERT_TRUE(pumpEventsUntil([&] { return watch.mostRows > 0; }, 5000)) << qPrintable(LogText());
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());

    for (const QString& name : given.names) {
        const QMap<QString, QByteArray> fetched = Contents(LocalPath(name));
        EXPECT_EQ(fetched, Contents(ServerPath(name))) << qPrintable(name);
        EXPECT_GE(frame().LocalPane().List().Model().RowOfName(name), 0) << qPrintable(name);
        for (auto file = fetched.cbegin(); file != fetched.cend(); ++file) {
            const QString path = file.key().isEmpty() ? LocalPath(name) : LocalPath(name + u'/' + file.key());
            if (!QFileInfo(path).isDir()) {
                EXPECT_EQ(watch.progressAtEnd.value(path), u"100%"_s) << qPrintable(path);
            }
        }
    }
    EXPECT_EQ(frame().TaskCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DownloadStarts,
    ::testing::Values(StartCase{"DownloadCommand", Start::DownloadCommand, {u"big.bin"_s, u"docs"_s}},
                      StartCase{"DropOnDetailList", Start::DropOnDetailList, {u"docs"_s, u"hello.txt"_s}},
                      StartCase{"DropOnIconView", Start::DropOnIconView, {u"file with space.txt"_s}},
                      StartCase{"DoubleClickWithDbClickType2", Start::DoubleClick, {u"hello.txt"_s}}),
    [](const auto& info) { return std::string(info.param.label); });

// The local pane takes remote rows only where it can: a folder shown, the remote pane able to act;
// its own rows are no download. A refused drop starts nothing; the same drop in order is taken.
TEST_F(MainFrameDownloadTest, TheLocalPaneRefusesDropsItCannotTake) {
    ASSERT_TRUE(WriteAll(LocalPath(u"mine.txt"_s), "local"));
    frame().LocalPane().Refresh();
    SelectRemote({u"hello.txt"_s});
    const std::unique_ptr<QMimeData> remoteRows = RemoteDragData();
    ASSERT_NE(remoteRows, nullptr);
    EXPECT_EQ(remoteRows->formats(), QStringList{u"application/x-tessaly-pane-rows"_s});
    LocalListModel& localModel = frame().LocalPane().List().Model();
    const std::unique_ptr<QMimeData> localRows(
        localModel.mimeData({localModel.index(localModel.RowOfName(u"mine.txt"_s), 0)}));
    ASSERT_NE(localRows, nullptr);

    struct Case {
        const char* why;
        const QMimeData* dragged;
        std::function<void()> arrange;
        std::function<void()> restore;
    };
    CLocalView& local = frame().LocalPane();
    CRemoteView& remote = frame().RemoteView();
    const Case cases[] = {
        {"the top-level view", remoteRows.get(), [&] { local.ShowTopLevel(); },
         [&] { local.SetDirectory(target_.path()); }},
        {"the remote pane busy", remoteRows.get(), [&] { remote.SetPaneEnabled(false); },
         [&] { remote.SetPaneEnabled(true); }},
        {"the local pane's own rows", localRows.get(), [] {}, [] {}},
    };
    for (const Case& refused : cases) {
        refused.arrange();
        EXPECT_FALSE(DropOn(*local.List().viewport(), *refused.dragged)) << refused.why;
        QTest::qWait(50); // a posted download would start now
        EXPECT_FALSE(frame().Engine().Session()->jobRunning) << refused.why;
        refused.restore();
    }
    EXPECT_FALSE(QFileInfo::exists(LocalPath(u"hello.txt"_s)));

    ASSERT_TRUE(DropOn(*local.List().viewport(), *remoteRows));
    ASSERT_TRUE(pumpEventsUntil([&] { return QFileInfo::exists(LocalPath(u"hello.txt"_s)); }, 10000));
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
}

// A file that is in the local folder already: the File Confirmation question comes up, and the
// button pressed decides what the folder holds afterwards.
struct ConflictCase {
    const char* button;
    const char* name;
    // What the local file holds before, from the server's bytes.
    QByteArray (*localBefore)(const QByteArray& remote);
    bool remoteWins;
};

void PrintTo(const ConflictCase& given, std::ostream* out) {
    *out << given.button << ' ' << given.name;
}

class DownloadConflicts : public MainFrameDownloadTest, public ::testing::WithParamInterface<ConflictCase> {};

TEST_P(DownloadConflicts, TheQuestionsAnswerDecides) {
    const ConflictCase& given = GetParam();
    const QString name = QString::fromLatin1(given.name);
    const QByteArray remote = ReadAll(ServerPath(name));
    const QByteArray before = given.localBefore(remote);
    ASSERT_TRUE(WriteAll(LocalPath(name), before));
    QString caption;
    bool pressed = false;
    HandleNextModal(
        [&](QWidget* modal) {
            caption = modal->windowTitle();
            for (QPushButton* button : modal->findChildren<QPushButton*>()) {
                if (button->text() == QLatin1StringView(given.button) && button->isEnabled()) {
                    button->click();
                    pressed = true;
                }
            }
        },
        15000);
    RemoteList().setFocus();
    SelectRemote({name});
    TriggerWhenEnabled(cmd::kDownload);
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    EXPECT_EQ(caption, u"File Confirmation"_s);
    EXPECT_TRUE(pressed) << given.button;
    EXPECT_EQ(ReadAll(LocalPath(name)), given.remoteWins ? remote : before);
    EXPECT_EQ(frame().TaskCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DownloadConflicts,
    ::testing::Values(
        ConflictCase{"Overwrite", "hello.txt",
                     [](const QByteArray&) { return QByteArray("older, longer text\n"); }, true},
        ConflictCase{"Ignore", "hello.txt", [](const QByteArray&) { return QByteArray("kept\n"); }, false},
        ConflictCase{"Resume", "big.bin", [](const QByteArray& remote) { return remote.left(100000); },
                     true}),
    [](const auto& info) { return std::string(info.param.button); });

// Abort in the middle of a file: ABOR goes out, the task rows go, the file stays short of its size,
// and the session lists again afterwards.
TEST_F(MainFrameDownloadTest, AbortStopsTheTransferAndTheSessionGoesOn) {
    const qint64 size = 32 * 1024 * 1024; // far more than the sockets hold between them
    ASSERT_TRUE(WriteAll(ServerPath(u"huge.bin"_s), QByteArray(size, 'x')));
    settings().WriteInt(u"Advance", u"ReceiveSize", 1);
    frame().RemoteView().RunCommand(cmd::remote::kRefresh);
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());
    RemoteList().setFocus();
    SelectRemote({u"huge.bin"_s});
    TriggerWhenEnabled(cmd::kDownload);
    const TaskListModel& tasks = frame().TaskList().Model();
    ASSERT_TRUE(pumpEventsUntil(
        [&] {
            return tasks.rowCount() > 0 && tasks.ProgressAt(0) != nullptr &&
                   tasks.ProgressAt(0)->position > 0;
        },
        10000))
        << qPrintable(LogText());

    const qsizetype logBefore = LogText().size();
    frame().UpdateCommandStates(); // as the window's next update would
    QAction* abort = frame().Action(cmd::kAbort);
    ASSERT_TRUE(abort->isEnabled());
    abort->trigger();
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    EXPECT_TRUE(LogText().mid(logBefore).contains(u"ABOR"_s)) << qPrintable(LogText().mid(logBefore));
    EXPECT_EQ(frame().TaskCount(), 0);
    EXPECT_LT(QFileInfo(LocalPath(u"huge.bin"_s)).size(), size);

    const qsizetype listBefore = LogText().size();
    frame().RemoteView().RunCommand(cmd::remote::kRefresh);
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());
    EXPECT_TRUE(LogText().mid(listBefore).contains(u"LIST"_s)) << qPrintable(LogText().mid(listBefore));
    EXPECT_TRUE(RemoteNames().contains(u"huge.bin"_s));
}

// Abort, Disconnect and Reconnect follow the session, on the toolbar as in the menu: Reconnect
// after Disconnect logs in again into the directory the session was in.
TEST_F(MainFrameDownloadTest, DisconnectAndReconnectFollowTheSession) {
    settings().WriteInt(u"UserPrompt", u"PromptOnDisconnectsion", 0);
    QToolButton* reconnectButton = nullptr;
    for (QToolButton* button : frame().findChildren<QToolButton*>()) {
        if (button->defaultAction() == frame().Action(cmd::kReconnect)) {
            reconnectButton = button;
        }
    }
    ASSERT_NE(reconnectButton, nullptr);
    struct State {
        bool abort;
        bool disconnect;
        bool reconnect;
    };
    const auto expectStates = [&](const State& expected, const char* when) {
        frame().UpdateCommandStates();
        EXPECT_EQ(frame().Action(cmd::kAbort)->isEnabled(), expected.abort) << when;
        EXPECT_EQ(frame().Action(cmd::kDisconnect)->isEnabled(), expected.disconnect) << when;
        EXPECT_EQ(frame().Action(cmd::kReconnect)->isEnabled(), expected.reconnect) << when;
        EXPECT_EQ(reconnectButton->isEnabled(), expected.reconnect) << when;
    };
    expectStates({false, true, true}, "idle");
    frame().Action(cmd::kDisconnect)->trigger();
    EXPECT_FALSE(frame().Engine().HasControlConnection());
    expectStates({false, false, true}, "disconnected");

    QTest::mouseClick(reconnectButton, Qt::LeftButton);
    expectStates({true, false, true}, "connecting");
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());
    EXPECT_TRUE(LogText().contains(u"Disconnect(2"_s)) << qPrintable(LogText());
    EXPECT_TRUE(RemoteNames().contains(u"hello.txt"_s)) << qPrintable(RemoteNames().join(u','));
    expectStates({false, true, true}, "reconnected");
}

} // namespace
} // namespace tessaly::test
