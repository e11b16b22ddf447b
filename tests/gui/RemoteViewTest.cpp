#include "panes/RemoteView.h"

#include "GuiSupport.h"
#include "MenuLines.h"
#include "RemoteViewFixture.h"
#include "listing/ListingParser.h"
#include "panes/PaneDragData.h"
#include "panes/RemoteListCtrl.h"
#include "ui/CommandIds.h"
#include "ui/SelectPathDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QMimeDatabase>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using test::DoubleClickAt;
using test::kListing;
using test::MenuLines;
using test::RecordingHost;
using test::RemoteViewTest;

namespace remote = cmd::remote;
using namespace Qt::StringLiterals;

TEST_F(RemoteViewTest, RowsShowTheColumnsOfTheListing) {
    Show("/", kListing);
    EXPECT_EQ(Names(), (QStringList{u"Debian"_s, u"incoming"_s, u"pub"_s, u"alpha.pdf"_s, u"archive.tar.gz"_s,
                                    u"Zeta.txt"_s}));
    QHeaderView* header = view_.List().header();
    const QStringList titles = {u"Name"_s, u"Size"_s, u"Modified"_s, u"Permission"_s, u"Type"_s};
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), titles[column]);
        EXPECT_GE(header->sectionSize(column), CRemoteListCtrl::kColumnWidths[column]);
    }
    const auto cell = [&](const QString& name, int column, int role = Qt::DisplayRole) {
        return Model().index(RowOf(name), column).data(role);
    };
    EXPECT_EQ(cell(u"pub"_s, 1).toString(), QString());
    EXPECT_EQ(cell(u"Zeta.txt"_s, 1).toString(), u"3 KB"_s);
    EXPECT_EQ(cell(u"alpha.pdf"_s, 1).toString(), u"1 KB"_s);
    EXPECT_EQ(cell(u"archive.tar.gz"_s, 1).toString(), u"1025 KB"_s);
    EXPECT_TRUE(cell(u"Zeta.txt"_s, 1, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
    EXPECT_EQ(cell(u"pub"_s, 2).toString(), u"2003-01-05 "_s);
    // A date with its time fits its column, whatever the font.
    EXPECT_LT(view_.List().fontMetrics().horizontalAdvance(u"2003-01-05 12:59"_s),
              header->sectionSize(2) - 8);
    EXPECT_EQ(cell(u"incoming"_s, 3).toString(), u"rwxr-x--- "_s);

    const QMimeDatabase mime;
    EXPECT_EQ(cell(u"pub"_s, 4).toString(), mime.mimeTypeForName(u"inode/directory"_s).comment());
    EXPECT_EQ(cell(u"alpha.pdf"_s, 4).toString(), mime.mimeTypeForName(u"application/pdf"_s).comment());
    EXPECT_EQ(cell(u"Zeta.txt"_s, 4).toString(), mime.mimeTypeForName(u"text/plain"_s).comment());
    EXPECT_FALSE(cell(u"pub"_s, 0, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(cell(u"Zeta.txt"_s, 0, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(cell(u"Zeta.txt"_s, 1, Qt::DecorationRole).isValid());
}

TEST_F(RemoteViewTest, HeaderClicksSortAndTheChoiceOutlivesTheListing) {
    Show("/", kListing);
    QHeaderView* header = view_.List().header();
    EXPECT_TRUE(header->isSortIndicatorShown());

    ClickHeader(kRemoteSizeColumn); // a new column starts ascending: folders first, by size
    EXPECT_EQ(Names(), (QStringList{u"incoming"_s, u"pub"_s, u"Debian"_s, u"alpha.pdf"_s, u"Zeta.txt"_s,
                                    u"archive.tar.gz"_s}));
    EXPECT_EQ(header->sortIndicatorSection(), kRemoteSizeColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);

    ClickHeader(kRemoteSizeColumn); // the same column again turns round: files first
    EXPECT_EQ(Names(), (QStringList{u"archive.tar.gz"_s, u"Zeta.txt"_s, u"alpha.pdf"_s, u"pub"_s, u"Debian"_s,
                                    u"incoming"_s}));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);

    ClickHeader(kRemoteNameColumn);
    ClickHeader(kRemoteNameColumn); // by name descending: files before folders
    EXPECT_EQ(Names(), (QStringList{u"Zeta.txt"_s, u"archive.tar.gz"_s, u"alpha.pdf"_s, u"pub"_s,
                                    u"incoming"_s, u"Debian"_s}));

    // The next listing comes sorted the same way.
    Show("/pub", "-rw-r--r-- 1 a b 1 Jan  1  2000 b\r\n-rw-r--r-- 1 a b 1 Jan  1  2000 c\r\n"
                 "drwxr-xr-x 1 a b 1 Jan  1  2000 a\r\n");
    EXPECT_EQ(Names(), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
    EXPECT_EQ(view_.SortColumn(), kRemoteNameColumn);
    EXPECT_FALSE(view_.SortAscending());
}

TEST_F(RemoteViewTest, SortCommandsSortAscendingAndKeepTheSelection) {
    Show("/", kListing);
    ClickHeader(kRemoteNameColumn); // name descending
    Select(u"alpha.pdf"_s);

    view_.RunCommand(remote::kByDate); // by time stamp, ascending
    EXPECT_EQ(Names(), (QStringList{u"Debian"_s, u"pub"_s, u"incoming"_s, u"alpha.pdf"_s, u"Zeta.txt"_s,
                                    u"archive.tar.gz"_s}));
    EXPECT_EQ(view_.List().SelectedRows(), std::vector<int>{RowOf(u"alpha.pdf"_s)});
    EXPECT_EQ(view_.List().currentIndex().row(), RowOf(u"alpha.pdf"_s));

    view_.RunCommand(remote::kByType); // folders by name, then files by type name
    EXPECT_EQ(Names().mid(0, 3), (QStringList{u"Debian"_s, u"incoming"_s, u"pub"_s}));
    EXPECT_EQ(view_.List().header()->sortIndicatorSection(), kRemoteTypeColumn);

    view_.RunCommand(remote::kBySize);
    view_.RunCommand(remote::kBySize); // a command never turns the direction round
    EXPECT_TRUE(view_.SortAscending());
    EXPECT_EQ(Names().last(), u"archive.tar.gz"_s);
}

TEST_F(RemoteViewTest, OpeningAFolderAsksForItsPathAsBytes) {
    Show("/", kListing);
    DoubleClick(u"pub"_s);
    ASSERT_EQ(host_.changes, (std::vector<RecordingHost::Change>{{"/pub", false}}));
    EXPECT_FALSE(view_.IsPaneEnabled());
    EXPECT_FALSE(view_.UpButton().isEnabled());
    EXPECT_TRUE(view_.IsBusy());

    // Enter opens too; below "/" the name is joined with a slash. A name that is not UTF-8 goes back
    // as the bytes the server sent.
    const QByteArray latin1Name = "caf\xe9 \xff";
    Show("/home",
         "drwxr-xr-x 2 a b 1 Jan  1  2000 pub\r\ndrwxr-xr-x 2 a b 1 Jan  1  2000 " + latin1Name + "\r\n");
    Select(QString::fromUtf8(latin1Name));
    view_.List().setFocus();
    QTest::keyClick(&view_.List(), Qt::Key_Return);
    DoubleClick(u"pub"_s); // the pane is busy with the first change
    view_.SetPaneEnabled(true);
    DoubleClick(u"pub"_s);
    EXPECT_EQ(host_.changes, (std::vector<RecordingHost::Change>{
                                 {"/pub", false}, {"/home/" + latin1Name, false}, {"/home/pub", false}}));
}

TEST_F(RemoteViewTest, NothingOpensWithoutLeaveToActOrWithoutASelection) {
    Show("/", kListing);
    host_.mayAct = false;
    DoubleClick(u"pub"_s);
    host_.mayAct = true;
    view_.SetPaneEnabled(false);
    DoubleClick(u"pub"_s);
    view_.SetPaneEnabled(true);
    view_.List().clearSelection();
    view_.List().setFocus();
    QTest::keyClick(&view_.List(), Qt::Key_Return);
    // A file runs the double-click command, which waits for transfers: nothing reaches the host.
    DoubleClick(u"Zeta.txt"_s);
    QTest::keyClick(&view_.List(), Qt::Key_F2);
    QTest::keyClick(&view_.List(), Qt::Key_Delete);
    EXPECT_TRUE(host_.changes.empty());
    EXPECT_TRUE(view_.IsPaneEnabled());
    EXPECT_EQ(Model().rowCount(), 6);
}

// A double-click on a file runs, views, downloads or ignores it by "DbClickType"; the command is
// posted, so it runs once the click has been handled.
TEST_F(RemoteViewTest, DoubleClickOnAFileRunsTheCommandOfDbClickType) {
    Show("/", kListing);
    struct Case {
        int dbClickType;
        std::size_t downloads;
        QList<std::pair<QByteArray, bool>> viewed;
    };
    const Case cases[] = {
        {0, 0, {{"Zeta.txt", true}}},
        {1, 0, {{"Zeta.txt", false}}},
        {2, 1, {}},
        {3, 0, {}},
    };
    for (const Case& given : cases) {
        host_.viewed.clear();
        host_.downloads.clear();
        ASSERT_TRUE(settings_.WriteInt(u"Miscellaneous", u"DbClickType", given.dbClickType));
        DoubleClick(u"Zeta.txt"_s);
        EXPECT_TRUE(host_.viewed.isEmpty() && host_.downloads.isEmpty()) << given.dbClickType;
        QTest::qWait(10);
        EXPECT_EQ(host_.viewed, given.viewed) << given.dbClickType;
        ASSERT_EQ(std::size_t(host_.downloads.size()), given.downloads) << given.dbClickType;
        if (given.downloads == 1) {
            ASSERT_EQ(host_.downloads[0].size(), 1);
            EXPECT_EQ(host_.downloads[0][0].name(), "Zeta.txt");
        }
    }
}

// Rows dragged out carry data of this program only, naming the pane, whose Download then acts on the
// selection; the new-directory row is not dragged.
TEST_F(RemoteViewTest, DraggedRowsCarryOnlyThePane) {
    Show("/", kListing);
    Select(u"Zeta.txt"_s);
    const QModelIndexList selected = view_.List().selectionModel()->selectedIndexes();
    ASSERT_TRUE(Model().flags(selected.front()).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_EQ(Model().supportedDragActions(), Qt::CopyAction);
    const std::unique_ptr<QMimeData> mime(Model().mimeData(selected));
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->formats(), QStringList{u"application/x-tessaly-pane-rows"_s});
    EXPECT_FALSE(mime->hasUrls() || mime->hasText());
    const PaneDragData* rows = PaneDragData::From(mime.get());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->Source(), &view_);
    EXPECT_TRUE(rows->SourceMayAct());
    rows->AskSourceToAct();
    EXPECT_TRUE(host_.downloads.isEmpty()); // posted
    QTest::qWait(10);
    ASSERT_EQ(host_.downloads.size(), 1);
    EXPECT_EQ(host_.downloads[0][0].name(), "Zeta.txt");
    host_.mayAct = false;
    EXPECT_FALSE(rows->SourceMayAct());
    host_.mayAct = true;

    view_.RunCommand(remote::kLargeIcons); // the icon modes drag too
    EXPECT_TRUE(view_.IconView().dragEnabled());

    const int newRow = Model().AppendNewDirectoryRow();
    EXPECT_FALSE(Model().flags(Model().index(newRow, 0)).testFlag(Qt::ItemIsDragEnabled));
    EXPECT_EQ(Model().mimeData({Model().index(newRow, 0)}), nullptr);
}

TEST_F(RemoteViewTest, UpLevelFollowsThePath) {
    Show("/", kListing);
    EXPECT_FALSE(view_.UpButton().isEnabled());
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kUpLevel));
    view_.RunCommand(remote::kUpLevel);
    EXPECT_TRUE(host_.changes.empty());

    view_.SetPath("/pub/debian");
    EXPECT_TRUE(view_.IsCommandEnabled(remote::kUpLevel));
    QTest::mouseClick(&view_.UpButton(), Qt::LeftButton);
    view_.RunCommand(remote::kUpLevel);
    EXPECT_EQ(host_.changes, (std::vector<RecordingHost::Change>{{"/pub", true}, {"/pub", true}}));

    view_.SetPaneEnabled(false);
    EXPECT_FALSE(view_.UpButton().isEnabled());
    view_.SetPaneEnabled(true);
    EXPECT_TRUE(view_.UpButton().isEnabled());
}

TEST_F(RemoteViewTest, PathBarLabelAndClearing) {
    view_.SetPaneEnabled(false);
    Show("/", kListing);
    Show("/pub", "");
    Show("/", kListing);
    EXPECT_EQ(view_.PathCombo().count(), 2); // "/" is not added twice
    EXPECT_EQ(view_.PathCombo().currentText(), u"/"_s);
    EXPECT_EQ(view_.PathLabel().text(), u"/"_s);
    EXPECT_TRUE(view_.IsPaneEnabled());
    EXPECT_FALSE(view_.IsBusy());

    // Choosing another visited path goes there; choosing the current one does nothing.
    view_.PathCombo().setFocus();
    QTest::keyClick(&view_.PathCombo(), Qt::Key_Down);
    EXPECT_EQ(host_.changes, (std::vector<RecordingHost::Change>{{"/pub", false}}));
    EXPECT_TRUE(view_.IsBusy());
    view_.SetPath("/pub");
    QTest::keyClick(&view_.PathCombo(), Qt::Key_Down); // already the last entry
    EXPECT_EQ(host_.changes.size(), 1u);

    view_.ClearPane();
    EXPECT_EQ(view_.Path(), QByteArray());
    EXPECT_EQ(view_.PathLabel().text(), QString());
    EXPECT_EQ(view_.PathCombo().count(), 0);
    EXPECT_FALSE(view_.IsPaneEnabled());
    EXPECT_FALSE(view_.UpButton().isEnabled());
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kSelectAll));
}

TEST_F(RemoteViewTest, BusyShowsTheWaitCursorOnTheHeaderOnly) {
    Show("/", kListing);
    QHeaderView* header = view_.List().header();
    const auto waiting = [&] {
        return header->testAttribute(Qt::WA_SetCursor) && header->cursor().shape() == Qt::WaitCursor;
    };
    EXPECT_FALSE(waiting());
    view_.SetPaneEnabled(false);
    EXPECT_TRUE(waiting());
    EXPECT_TRUE(view_.IsBusy());
    EXPECT_FALSE(view_.List().viewport()->testAttribute(Qt::WA_SetCursor));
    EXPECT_FALSE(view_.testAttribute(Qt::WA_SetCursor));
    view_.SetPaneEnabled(true);
    EXPECT_FALSE(waiting());

    view_.RunCommand(remote::kRefresh);
    EXPECT_TRUE(waiting());
    EXPECT_EQ(host_.refreshes, 1);
    view_.SetPath("/");
    EXPECT_FALSE(waiting());
    view_.SetBusy(true);
    EXPECT_TRUE(waiting());
    EXPECT_TRUE(view_.IsPaneEnabled());
}

TEST_F(RemoteViewTest, CopyAddressNeedsExactlyOneRow) {
    Show("/", kListing);
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kCopyAddress));
    Select(u"pub"_s);
    view_.RunCommand(remote::kCopyAddress);
    EXPECT_EQ(QApplication::clipboard()->text(), u"ftp://ftp.example.org/pub"_s);

    Show("/pub/debian",
         "-rw-r--r-- 1 a b 1 Jan  1  2000 README\r\n-rw-r--r-- 1 a b 1 Jan  1  2000 ls-lR.gz\r\n");
    Select(u"README"_s);
    view_.RunCommand(remote::kCopyAddress);
    EXPECT_EQ(QApplication::clipboard()->text(), u"ftp://ftp.example.org/pub/debian/README"_s);

    view_.RunCommand(cmd::kSelectAll);
    EXPECT_EQ(view_.List().SelectedRows().size(), 2u);
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kCopyAddress));
}

TEST_F(RemoteViewTest, SelectPathDialogOffersTheVisitedPaths) {
    const QByteArray odd = "/caf\xe9";
    Show("/", "");
    Show(odd, "");
    Show("/pub", "");

    test::HandleNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CSelectPathDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), u"Select Path"_s);
        EXPECT_EQ(dialog->PathCombo().count(), 3);
        EXPECT_EQ(dialog->PathCombo().currentText(), u"/pub"_s);
        dialog->PathCombo().setCurrentIndex(1); // the path that is not UTF-8, unchanged
        EXPECT_TRUE(dialog->OkButton().isEnabled());
        QTest::mouseClick(&dialog->OkButton(), Qt::LeftButton);
    });
    view_.RunCommand(remote::kChangeDirectory);
    EXPECT_TRUE(view_.IsBusy());

    view_.SetPath("/pub");
    test::HandleNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<CSelectPathDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        QLineEdit* edit = dialog->PathCombo().lineEdit();
        edit->clear();
        EXPECT_FALSE(dialog->OkButton().isEnabled());
        QTest::keyClicks(edit, u"/srv/ftp/"_s);
        edit->insert(u"ü"_s); // QTest types ASCII only
        EXPECT_TRUE(dialog->OkButton().isEnabled());
        QTest::keyClick(edit, Qt::Key_Return);
    });
    view_.RunCommand(remote::kChangeDirectory);

    test::HandleNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    view_.RunCommand(remote::kChangeDirectory);
    EXPECT_EQ(host_.changes,
              (std::vector<RecordingHost::Change>{{odd, false}, {u"/srv/ftp/ü"_s.toUtf8(), false}}));
}

TEST_F(RemoteViewTest, ContextMenusListTheirEntriesAsEnabledNow) {
    QApplication::clipboard()->setText(u"no files to paste"_s);
    Show("/pub", kListing);
    Select(u"pub"_s);
    EXPECT_EQ(MenuLines(*view_.BuildContextMenu(true)),
              (QStringList{u"&Download"_s, u"Manual Download"_s, u"&View (off)"_s, u"&Run (off)"_s, u"-"_s,
                           u"D&elete"_s, u"Re&name"_s, u"-"_s, u"Select &All\tCtrl+A"_s, u"-"_s,
                           u"Up &Level Directory"_s, u"C&hange Directory"_s, u"Ne&w Directory"_s, u"-"_s,
                           u"&Properties"_s}));

    view_.RunCommand(remote::kList);
    view_.SetPath("/");
    EXPECT_EQ(MenuLines(*view_.BuildContextMenu(false)), (QStringList{u"&View"_s,
                                                                      u"  Lar&ge Icons"_s,
                                                                      u"  S&mall Icons"_s,
                                                                      u"  &List [x]"_s,
                                                                      u"  &Detail"_s,
                                                                      u"&Arrange Icons"_s,
                                                                      u"  By Name"_s,
                                                                      u"  By Type"_s,
                                                                      u"  By Size"_s,
                                                                      u"  By Date"_s,
                                                                      u"  By Permission"_s,
                                                                      u"-"_s,
                                                                      u"&Refresh"_s,
                                                                      u"-"_s,
                                                                      u"Manual Download"_s,
                                                                      u"-"_s,
                                                                      u"&Paste (off)"_s,
                                                                      u"-"_s,
                                                                      u"&Clear Cache"_s,
                                                                      u"-"_s,
                                                                      u"Select &All\tCtrl+A"_s,
                                                                      u"-"_s,
                                                                      u"Up &Level Directory (off)"_s,
                                                                      u"C&hange Directory"_s,
                                                                      u"-"_s,
                                                                      u"&New"_s,
                                                                      u"  &Directory"_s}));

    // Choosing an entry runs its command; a disabled pane leaves only the view entries.
    const std::unique_ptr<QMenu> menu = view_.BuildContextMenu(false);
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::kClearCache) {
            action->trigger();
        }
    }
    EXPECT_EQ(host_.cacheClears, 1);
    view_.SetPaneEnabled(false);
    const QStringList disabled = MenuLines(*view_.BuildContextMenu(false));
    EXPECT_TRUE(disabled.contains(u"&Refresh (off)"_s));
    EXPECT_TRUE(disabled.contains(u"C&hange Directory (off)"_s));
    EXPECT_TRUE(disabled.contains(u"&Clear Cache (off)"_s));
    EXPECT_TRUE(disabled.contains(u"  By Size"_s));
    EXPECT_TRUE(disabled.contains(u"Select &All\tCtrl+A"_s));
}

TEST_F(RemoteViewTest, ItemCommandsTakeTheSelection) {
    Show("/", kListing);
    Select(u"Zeta.txt"_s);
    // View and Run take the one selected file.
    view_.RunCommand(remote::kView);
    view_.RunCommand(remote::kRun);
    EXPECT_EQ(host_.viewed, (QList<std::pair<QByteArray, bool>>{{"Zeta.txt", false}, {"Zeta.txt", true}}));
    // Download takes every selected item, directories as well as files, in row order.
    view_.List().selectionModel()->select(Model().index(RowOf(u"pub"_s), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kView));
    ASSERT_TRUE(view_.IsCommandEnabled(remote::kDownload));
    view_.RunCommand(remote::kDownload);
    ASSERT_EQ(host_.downloads.size(), 1);
    QList<QByteArray> names;
    for (const RemoteItem& item : host_.downloads[0]) {
        names.append(item.name().toByteArray());
    }
    EXPECT_EQ(names, (QList<QByteArray>{"pub", "Zeta.txt"}));
    Select(u"pub"_s);
    EXPECT_TRUE(view_.IsCommandEnabled(remote::kDownload));
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kView));
    host_.canReceive = false; // the local pane shows no folder
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kDownload));
    host_.canReceive = true;
    Select(u"Zeta.txt"_s);
    EXPECT_FALSE(view_.HandlesCommand(cmd::kUpload));
    EXPECT_FALSE(view_.HandlesCommand(cmd::local::kRefresh));
}

// Manual Download asks for a remote path, starting from the directory shown; a relative path is
// taken below it. It is offered only while the local pane shows a folder to download into.
TEST_F(RemoteViewTest, ManualDownloadAsksForARemotePath) {
    Show("/pub", kListing);
    QString startText;
    test::HandleNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), u"Manual Download"_s);
        startText = dialog->textValue();
        dialog->setTextValue(u"docs/readme.txt"_s);
        dialog->accept();
    });
    ASSERT_TRUE(view_.IsCommandEnabled(remote::kManualDownload));
    view_.RunCommand(remote::kManualDownload);
    EXPECT_EQ(startText, u"/pub/"_s);
    EXPECT_EQ(host_.downloadedPaths, QList<QByteArray>{"/pub/docs/readme.txt"});
    host_.canReceive = false;
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kManualDownload));
}

TEST_F(RemoteViewTest, ViewModesShareTheSelection) {
    Show("/", kListing);
    Select(u"pub"_s);
    auto* stack = qobject_cast<QStackedWidget*>(view_.List().parentWidget());
    ASSERT_NE(stack, nullptr);
    EXPECT_TRUE(view_.IsCommandChecked(remote::kDetail));
    for (const int mode : {remote::kLargeIcons, remote::kSmallIcons, remote::kList}) {
        view_.RunCommand(mode);
        EXPECT_TRUE(view_.IsCommandChecked(mode));
        EXPECT_FALSE(view_.IsCommandChecked(remote::kDetail));
        EXPECT_EQ(stack->currentWidget(), &view_.IconView());
    }
    // Double-click in the list mode opens as in the detail mode.
    QListView& icons = view_.IconView();
    const QRect rect = icons.visualRect(Model().index(RowOf(u"incoming"_s), 0));
    DoubleClickAt(icons.viewport(), rect.center());
    EXPECT_EQ(host_.changes, (std::vector<RecordingHost::Change>{{"/incoming", false}}));
    EXPECT_EQ(view_.List().SelectedRows(), std::vector<int>{RowOf(u"incoming"_s)});

    view_.RunCommand(remote::kDetail);
    EXPECT_EQ(stack->currentWidget(), &view_.List());
}

TEST_F(RemoteViewTest, FocusInAnyPartMakesThePaneActive) {
    Show("/pub", kListing);
    QWidget other;
    other.show();
    QSignalSpy gained(&view_, &CRemoteView::focusGained);
    for (QWidget* part : {static_cast<QWidget*>(&view_.List()), static_cast<QWidget*>(&view_.PathCombo())}) {
        other.setFocus();
        QApplication::setActiveWindow(&view_);
        part->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    EXPECT_GE(gained.count(), 2);
}

TEST_F(RemoteViewTest, AHundredThousandItemsShowAndSort) {
    QByteArray listing;
    listing.reserve(100000 * 60);
    for (int i = 0; i < 100000; ++i) {
        listing += (i % 10 == 0 ? "drwxr-xr-x 2 ftp ftp " : "-rw-r--r-- 1 ftp ftp ") +
                   QByteArray::number(i * 7919 % 100003) + " Jan  5  2003 entry" + QByteArray::number(i) +
                   (i % 3 == 0 ? ".txt" : ".bin") + "\r\n";
    }
    Show("/big", listing);
    ASSERT_EQ(Model().rowCount(), 100000);
    view_.RunCommand(remote::kBySize);
    EXPECT_TRUE(Model().IsDirectory(0));
    EXPECT_TRUE(Model().IsDirectory(9999));
    EXPECT_FALSE(Model().IsDirectory(10000));
    for (int row = 10001; row < 100000; row += 997) {
        EXPECT_LE(Model().ItemAt(row - 1).size(), Model().ItemAt(row).size());
    }
    view_.RunCommand(cmd::kSelectAll);
    EXPECT_EQ(view_.List().SelectedRows().size(), 100000u);
    view_.List().scrollToBottom();
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"remote-pane-100000"_s).isEmpty());
}

TEST_F(RemoteViewTest, ScreenshotOfARealisticListing) {
    Show("/pub/debian",
         "total 1632\r\n"
         "drwxr-xr-x    9 ftp      ftp          4096 Nov 11 09:12 dists\r\n"
         "drwxr-xr-x    4 ftp      ftp          4096 Nov 11 09:31 doc\r\n"
         "drwxr-xr-x    3 ftp      ftp          4096 Oct 28 14:02 indices\r\n"
         "drwxr-xr-x    7 ftp      ftp          4096 Mar 19  2021 pool\r\n"
         "drwxr-xr-x    4 ftp      ftp          4096 Nov 17  2008 project\r\n"
         "lrwxrwxrwx    1 ftp      ftp            10 Jan  3  2020 tools -> pool/tools\r\n"
         "-rw-r--r--    1 ftp      ftp          1290 Jun 26  2021 README\r\n"
         "-rw-r--r--    1 ftp      ftp          1034 Jun 26  2021 README.html\r\n"
         "-rw-r--r--    1 ftp      ftp           291 Mar  4  2017 README.mirrors.txt\r\n"
         "-rw-r--r--    1 ftp      ftp      14247688 Nov 11 09:48 ls-lR.gz\r\n"
         "-rw-r--r--    1 ftp      ftp     658505728 Oct  7 11:20 debian-12.2.0-amd64-netinst.iso\r\n"
         "-rw-r--r--    1 ftp      ftp          5012 Oct  7 11:21 SHA256SUMS\r\n"
         "-rw-r--r--    1 ftp      ftp           833 Oct  7 11:21 SHA256SUMS.sign\r\n"
         "-rw-r--r--    1 ftp      ftp       3407872 Feb  2  2022 archive-keyring.tar.gz\r\n"
         "-rw-r--r--    1 ftp      ftp        281600 May 14  2019 mirror-list.pdf\r\n"
         "-rw-r--r--    1 ftp      ftp         48213 Aug  8  2023 banner.png\r\n");
    Select(u"ls-lR.gz"_s);
    view_.resize(900, 420);
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"remote-pane"_s).isEmpty());
    view_.RunCommand(remote::kLargeIcons);
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"remote-pane-large-icons"_s).isEmpty());
}

} // namespace
} // namespace tessaly
