// Uploads in the main window to a real server: started by the local pane's Upload, by local files
// dropped on the remote pane, by Paste, by Manual upload or by a double-click; the task rows as they
// go, the refreshed remote listing, and what the remote pane and Manual upload refuse.
#include "GuiSupport.h"
#include "MainFrameFixture.h"
#include "panes/LocalListCtrl.h"
#include "panes/LocalView.h"
#include "panes/PaneDragData.h"
#include "panes/RemoteView.h"
#include "support/EventPump.h"
#include "transfer/ui/TaskListCtrl.h"
#include "ui/CommandIds.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QInputDialog>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <ostream>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

// Bytes no text conversion leaves alone: every byte value, CR LF and a lone CR among them.
QByteArray BinaryBytes(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    }
    return bytes;
}

// The local pane's folder holds a binary file and a tree (a nested directory, an empty one, a
// hidden file, a text file and a name with a space) to send.
class MainFrameUploadTest : public MainFrameTransferTest {
protected:
    void SetUp() override {
        MainFrameTransferTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) {
            return;
        }
        const QDir local(target_.path());
        ASSERT_TRUE(local.mkpath(u"tree/sub/deep"_s));
        ASSERT_TRUE(local.mkpath(u"tree/empty"_s));
        ASSERT_TRUE(WriteAll(LocalPath(u"send.bin"_s), BinaryBytes(300 * 1024)));
        ASSERT_TRUE(WriteAll(LocalPath(u"tree/notes.txt"_s), "first line\nsecond line\n"));
        ASSERT_TRUE(WriteAll(LocalPath(u"tree/.hidden"_s), "hidden\n"));
        ASSERT_TRUE(WriteAll(LocalPath(u"tree/sub/deep/data file.bin"_s), BinaryBytes(70000)));
        frame().LocalPane().Refresh();
    }

    // Selects the local rows by name with the mouse: a click, then Ctrl+clicks.
    void SelectLocal(const QStringList& names) {
        CLocalListCtrl& list = frame().LocalPane().List();
        for (qsizetype i = 0; i < names.size(); ++i) {
            const int row = list.Model().RowOfName(names[i]);
            ASSERT_GE(row, 0) << qPrintable(names[i]);
            QTest::mouseClick(list.viewport(), Qt::LeftButton, i == 0 ? Qt::NoModifier : Qt::ControlModifier,
                              list.visualRect(list.Model().index(row, 0)).center());
        }
    }

    // Local files as a file manager drags or copies them.
    std::unique_ptr<QMimeData> FileUrls(const QStringList& names) const {
        auto mime = std::make_unique<QMimeData>();
        QList<QUrl> urls;
        for (const QString& name : names) {
            urls.append(QUrl::fromLocalFile(LocalPath(name)));
        }
        mime->setUrls(urls);
        return mime;
    }

    // What a drag of the selected local rows carries.
    std::unique_ptr<QMimeData> LocalDragData() {
        CLocalListCtrl& list = frame().LocalPane().List();
        return std::unique_ptr<QMimeData>(list.model()->mimeData(list.selectionModel()->selectedIndexes()));
    }

    // Answers Manual upload's question with the text, and the message that may follow with OK;
    // returns what that message said (empty when none came).
    std::shared_ptr<QString> AnswerManualUpload(const QString& typed) {
        auto message = std::make_shared<QString>();
        HandleNextModal([typed, message](QWidget* modal) {
            auto* dialog = qobject_cast<QInputDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            HandleNextModal(
                [message](QWidget* next) {
                    if (auto* box = qobject_cast<QMessageBox*>(next)) {
                        *message = box->text();
                        box->accept();
                    }
                },
                2000);
            dialog->setTextValue(typed);
            dialog->accept();
        });
        return message;
    }

    bool NothingRuns() {
        QTest::qWait(100); // a posted upload would start now
        return !frame().Engine().Session()->jobRunning && frame().TaskCount() == 0;
    }
};

// The ways a user starts an upload; each named local item arrives whole in /pub (a directory as its
// whole tree) through task rows whose files reach 100 % before they go, and the listing that follows
// shows it.
enum class Start { UploadCommand, DropLocalRows, DropFileManagerFiles, PasteKey, ManualUpload, DoubleClick };

struct StartCase {
    const char* label;
    Start start;
    QStringList names;
};

void PrintTo(const StartCase& given, std::ostream* out) {
    *out << given.label;
}

class UploadStarts : public MainFrameUploadTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(UploadStarts, TheItemsArriveWholeAndTheListingShowsThem) {
    const StartCase& given = GetParam();
    TaskRowWatch watch(frame().TaskList().Model());
    switch (given.start) {
    case Start::UploadCommand:
        frame().LocalPane().List().setFocus(); // the local pane is the active one
        SelectLocal(given.names);
        ASSERT_FALSE(HasFatalFailure());
        TriggerWhenEnabled(cmd::kUpload);
        break;
    case Start::DropLocalRows:
        SelectLocal(given.names);
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(DropOn(*RemoteList().viewport(), *LocalDragData()));
        break;
    case Start::DropFileManagerFiles:
        frame().RemoteView().RunCommand(cmd::remote::kSmallIcons);
        ASSERT_TRUE(DropOn(*frame().RemoteView().IconView().viewport(), *FileUrls(given.names)));
        break;
    case Start::PasteKey: {
        QApplication::clipboard()->setMimeData(FileUrls(given.names).release());
        RemoteList().setFocus();
        QAction* paste = frame().Action(cmd::kPaste);
        ASSERT_TRUE(pumpEventsUntil([&] { return paste->isEnabled(); }, 3000));
        QTest::keyClick(&RemoteList(), Qt::Key_V, Qt::ControlModifier);
        break;
    }
    case Start::ManualUpload:
        AnswerManualUpload(given.names.front()); // a bare name, taken in the local pane's folder
        frame().LocalPane().RunCommand(CLocalView::kManualUploadCommand);
        break;
    case Start::DoubleClick: {
        settings().WriteInt(u"Miscellaneous", u"DbClickType", 2);
        SelectLocal(given.names);
        ASSERT_FALSE(HasFatalFailure());
        CLocalListCtrl& list = frame().LocalPane().List();
        const int row = list.Model().RowOfName(given.names.front());
        QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                           list.visualRect(list.Model().index(row, 0)).center());
        break;
    }
    }
    ASSERT_TRUE(pumpEventsUntil([&] { return watch.mostRows > 0; }, 5000)) << qPrintable(LogText());
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());

    for (const QString& name : given.names) {
        const QMap<QString, QByteArray> local = Contents(LocalPath(name));
        EXPECT_EQ(Contents(ServerPath(name)), local) << qPrintable(name);
        EXPECT_TRUE(RemoteNames().contains(name))
            << qPrintable(name) << " in " << qPrintable(RemoteNames().join(u',')); // listed again
        for (auto file = local.cbegin(); file != local.cend(); ++file) {
            const QString path = file.key().isEmpty() ? LocalPath(name) : LocalPath(name + u'/' + file.key());
            if (!QFileInfo(path).isDir()) {
                EXPECT_EQ(watch.progressAtEnd.value(path), u"100%"_s) << qPrintable(path);
            }
        }
    }
    EXPECT_EQ(frame().TaskCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, UploadStarts,
    ::testing::Values(StartCase{"UploadCommand", Start::UploadCommand, {u"send.bin"_s, u"tree"_s}},
                      StartCase{"DropLocalRowsOnDetailList", Start::DropLocalRows, {u"tree"_s}},
                      StartCase{
                          "DropFileManagerFilesOnIconView", Start::DropFileManagerFiles, {u"send.bin"_s}},
                      StartCase{"PasteWithCtrlV", Start::PasteKey, {u"send.bin"_s, u"tree"_s}},
                      StartCase{"ManualUploadOfABareName", Start::ManualUpload, {u"send.bin"_s}},
                      StartCase{"DoubleClickWithDbClickType2", Start::DoubleClick, {u"send.bin"_s}}),
    [](const auto& info) { return std::string(info.param.label); });

// The remote pane takes local files only while it may act; its own rows, other URLs and text are no
// upload, and Paste is offered only for files. Manual upload of a name that is nowhere says so. None
// of them starts anything; the same drop in order is taken.
TEST_F(MainFrameUploadTest, WhatCannotBeUploadedStartsNothing) {
    const std::unique_ptr<QMimeData> files = FileUrls({u"send.bin"_s});
    QTreeView& list = RemoteList();
    list.selectionModel()->select(list.model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const std::unique_ptr<QMimeData> remoteRows(
        list.model()->mimeData(list.selectionModel()->selectedIndexes()));
    ASSERT_NE(PaneDragData::From(remoteRows.get()), nullptr);
    QMimeData webAddress;
    webAddress.setUrls({QUrl(u"https://example.org/send.bin"_s)});
    QMimeData text;
    text.setText(LocalPath(u"send.bin"_s));

    struct Case {
        const char* why;
        const QMimeData* dragged;
        bool paneEnabled;
    };
    const Case cases[] = {
        {"the remote pane busy", files.get(), false},
        {"the remote pane's own rows", remoteRows.get(), true},
        {"a web address", &webAddress, true},
        {"text naming a file", &text, true},
    };
    CRemoteView& remote = frame().RemoteView();
    for (const Case& refused : cases) {
        remote.SetPaneEnabled(refused.paneEnabled);
        EXPECT_FALSE(DropOn(*list.viewport(), *refused.dragged)) << refused.why;
        EXPECT_TRUE(NothingRuns()) << refused.why;
        remote.SetPaneEnabled(true);
    }
    remote.SetPaneEnabled(false);
    QApplication::clipboard()->setMimeData(FileUrls({u"send.bin"_s}).release());
    EXPECT_FALSE(remote.IsCommandEnabled(cmd::remote::kPaste)) << "the remote pane busy";
    remote.SetPaneEnabled(true);
    QApplication::clipboard()->setText(LocalPath(u"send.bin"_s));
    EXPECT_FALSE(remote.IsCommandEnabled(cmd::remote::kPaste)) << "text on the clipboard";

    const std::shared_ptr<QString> message = AnswerManualUpload(u"not-there.bin"_s);
    frame().LocalPane().RunCommand(CLocalView::kManualUploadCommand);
    ASSERT_TRUE(pumpEventsUntil([&] { return !message->isEmpty(); }, 3000));
    EXPECT_EQ(*message, u"You must input the file's full path or base on the local path!"_s);
    EXPECT_TRUE(NothingRuns());
    EXPECT_FALSE(QFileInfo::exists(ServerPath(u"send.bin"_s)));

    ASSERT_TRUE(DropOn(*list.viewport(), *files));
    ASSERT_TRUE(pumpEventsUntil([&] { return frame().TaskCount() > 0; }, 5000)) << qPrintable(LogText());
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    EXPECT_EQ(ReadAll(ServerPath(u"send.bin"_s)), ReadAll(LocalPath(u"send.bin"_s)));
}

} // namespace
} // namespace tessaly::test
