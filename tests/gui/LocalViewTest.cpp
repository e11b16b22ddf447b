#include "panes/LocalView.h"

#include "GuiSupport.h"
#include "MenuLines.h"
#include "panes/LocalListCtrl.h"
#include "ui/CommandIds.h"
#include "ui/LocalPropertiesDialog.h"
#include "ui/SelectPathDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace tessaly {
namespace {

using test::MenuLines;

namespace local = cmd::local;
using namespace Qt::StringLiterals;

// Turns the event loop until the condition holds (or a few seconds have passed).
bool WaitFor(const std::function<bool()>& condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return condition();
}

// Answers the next message box with a button, remembering what it said and with which icon.
struct MessageAnswer {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool seen = false;
};
std::shared_ptr<MessageAnswer> AnswerNextMessage(QMessageBox::StandardButton button = QMessageBox::Ok) {
    auto answer = std::make_shared<MessageAnswer>();
    test::HandleNextModal([answer, button](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        answer->text = box->text();
        answer->icon = box->icon();
        answer->seen = true;
        box->button(button)->click();
    });
    return answer;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void DoubleClickAt(QWidget* widget, QPoint at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

class LocalViewTest : public ::testing::Test {
protected:
    LocalViewTest() : settings_(config_.filePath(u"tessaly.INI"_s)), view_(settings_) {
        root_ = QDir(tree_.path()).canonicalPath();
        QDir dir(root_);
        dir.mkpath(u"docs/drafts"_s);
        dir.mkdir(u"src"_s);
        WriteFile(dir.filePath(u"notes.txt"_s), QByteArray(2048, 'n'));
        WriteFile(dir.filePath(u"empty.bin"_s), {});
        WriteFile(dir.filePath(u".htaccess"_s), "Deny from all\n");
        view_.SetShell({[this](const QUrl& url) {
                            opened.append(url);
                            return openSucceeds;
                        },
                        [this](const QString& program, const QStringList& arguments) {
                            started.append(program + u' ' + arguments.join(u' '));
                            return true;
                        }});
        view_.resize(640, 360);
        view_.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view_));
    }

    LocalListModel& Model() { return view_.List().Model(); }
    QString Path(const QString& name) const { return root_ + u'/' + name; }

    QStringList Names() {
        QStringList names;
        for (int row = 0; row < Model().rowCount(); ++row) {
            names.append(Model().Name(row));
        }
        return names;
    }

    void Select(const QString& name) {
        const int row = Model().RowOfName(name);
        ASSERT_GE(row, 0) << name.toStdString();
        view_.List().SelectRow(row);
    }

    void DoubleClick(const QString& name) {
        const int row = Model().RowOfName(name);
        ASSERT_GE(row, 0) << name.toStdString();
        DoubleClickAt(view_.List().viewport(), view_.List().RowRect(row).center());
    }

    void ClickHeader(int column) { test::ClickHeader(*view_.List().header(), column); }

    // The label editor the pane opened on the list (a closed one may linger until deleted).
    QLineEdit* Editor() {
        for (QLineEdit* editor : view_.List().viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible()) {
                return editor;
            }
        }
        return nullptr;
    }

    // Types into the open label editor and ends the edit with key.
    void TypeName(const QString& text, Qt::Key key = Qt::Key_Return) {
        QLineEdit* editor = Editor();
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, key);
        WaitFor([this] { return Editor() == nullptr; });
        QApplication::processEvents();
    }

    QTemporaryDir config_;
    QTemporaryDir tree_;
    QString root_;
    SettingsStore settings_;
    CLocalView view_;
    QList<QUrl> opened;
    QStringList started;
    bool openSucceeds = true;
};

TEST_F(LocalViewTest, StartsAtHomeAndShowsADirectoryWithItsColumns) {
    EXPECT_EQ(view_.Directory(), QDir::homePath());
    ASSERT_TRUE(view_.SetDirectory(root_));
    EXPECT_TRUE(view_.ShowsRealDirectory());
    EXPECT_EQ(Names(), (QStringList{u"docs"_s, u"src"_s, u".htaccess"_s, u"empty.bin"_s, u"notes.txt"_s}));
    const QStringList titles = {u"Name"_s, u"Size"_s, u"Type"_s, u"Modified"_s};
    for (int column = 0; column < kLocalColumnCount; ++column) {
        EXPECT_EQ(Model().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(), titles[column]);
        EXPECT_GE(view_.List().header()->sectionSize(column), CLocalListCtrl::kColumnWidths[column]);
    }
    const auto cell = [&](const QString& name, int column) {
        return Model().ColumnText(Model().RowOfName(name), column);
    };
    EXPECT_EQ(cell(u"docs"_s, kLocalSizeColumn), QString());
    EXPECT_EQ(cell(u"notes.txt"_s, kLocalSizeColumn), u"3 KB"_s); // as the remote pane counts
    EXPECT_EQ(cell(u"empty.bin"_s, kLocalSizeColumn), u"1 KB"_s);
    EXPECT_EQ(cell(u"notes.txt"_s, kLocalModifiedColumn),
              QFileInfo(Path(u"notes.txt"_s)).lastModified().toString(u"yyyy-MM-dd HH:mm"_s));
    EXPECT_FALSE(Model().index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(view_.PathCombo().currentText(), root_);
    EXPECT_EQ(view_.PathLabel().text(), root_);

    // A path that cannot be shown is named in a warning, and the pane stays where it was.
    for (const QString& bad : {Path(u"missing"_s), Path(u"notes.txt"_s)}) {
        const auto answer = AnswerNextMessage();
        EXPECT_FALSE(view_.SetDirectory(bad));
        EXPECT_TRUE(answer->seen);
        EXPECT_TRUE(answer->text.contains(bad)) << answer->text.toStdString();
        EXPECT_EQ(answer->icon, QMessageBox::Warning);
        EXPECT_EQ(view_.Directory(), root_);
        EXPECT_EQ(view_.PathCombo().currentText(), root_);
    }
}

TEST_F(LocalViewTest, DoubleClickEntersAndUpGoesBackToTheTopLevelView) {
    view_.SetDirectory(root_);
    DoubleClick(u"docs"_s);
    EXPECT_EQ(view_.Directory(), Path(u"docs"_s));
    EXPECT_EQ(Names(), QStringList{u"drafts"_s});

    // Up shows the parent with the directory we came from selected; the up button does the same.
    view_.RunCommand(local::kUpLevel);
    EXPECT_EQ(view_.Directory(), root_);
    EXPECT_EQ(view_.SelectedPaths(), QStringList{Path(u"docs"_s)});
    view_.SetDirectory(u"/"_s);
    QTest::mouseClick(&view_.UpButton(), Qt::LeftButton);
    ASSERT_TRUE(view_.IsTopLevel());
    EXPECT_FALSE(view_.ShowsRealDirectory());
    EXPECT_EQ(view_.Directory(), QString());
    EXPECT_FALSE(view_.UpButton().isEnabled());
    EXPECT_EQ(view_.PathCombo().currentText(), u"Computer"_s);

    // The top-level view holds the home directory and "/", "/" selected as where we came from.
    QStringList paths;
    for (int row = 0; row < Model().rowCount(); ++row) {
        paths.append(Model().Path(row));
        EXPECT_TRUE(Model().IsDirectory(row));
        EXPECT_FALSE(Model().flags(Model().index(row, 0)).testFlag(Qt::ItemIsEditable));
    }
    EXPECT_TRUE(paths.contains(QDir::homePath()));
    EXPECT_TRUE(paths.contains(u"/"_s));
    EXPECT_EQ(view_.SelectedPaths(), QStringList{u"/"_s});
    for (const int id : {local::kUpLevel, local::kDelete, local::kRename, local::kNewDirectory, local::kPaste,
                         local::kView, local::kRun, CLocalView::kBrowseCommand}) {
        EXPECT_FALSE(view_.IsCommandEnabled(id)) << id;
    }
    EXPECT_TRUE(view_.IsCommandEnabled(local::kProperties));

    DoubleClick(Model().Name(int(paths.indexOf(QDir::homePath()))));
    EXPECT_EQ(view_.Directory(), QDir::homePath());

    // Choosing the top-level entry of the chooser goes back to it; choosing a visited path goes there.
    view_.PathCombo().setCurrentIndex(0);
    emit view_.PathCombo().activated(0);
    EXPECT_TRUE(view_.IsTopLevel());
    const int docs = view_.PathCombo().findData(Path(u"docs"_s));
    ASSERT_GT(docs, 0);
    emit view_.PathCombo().activated(docs);
    EXPECT_EQ(view_.Directory(), Path(u"docs"_s));
}

TEST_F(LocalViewTest, TypedPathsAreTakenFromTheDirectoryShown) {
    view_.SetDirectory(root_);
    QLineEdit* edit = view_.PathCombo().lineEdit();
    edit->selectAll();
    QTest::keyClicks(edit, u"docs/drafts"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(view_.Directory(), Path(u"docs/drafts"_s));
    edit->selectAll();
    QTest::keyClicks(edit, u"../../src"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(view_.Directory(), Path(u"src"_s));
    edit->selectAll();
    QTest::keyClicks(edit, u"~"_s);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(view_.Directory(), QDir::homePath());

    // The "Select Path" dialog offers the directories visited, the current one chosen.
    test::HandleNextModal([this](QWidget* modal) {
        auto* dialog = qobject_cast<CSelectPathDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->PathCombo().currentText(), QDir::homePath());
        EXPECT_GE(dialog->PathCombo().findText(Path(u"docs/drafts"_s)), 0);
        dialog->PathCombo().setEditText(Path(u"docs"_s));
        QTest::mouseClick(&dialog->OkButton(), Qt::LeftButton);
    });
    view_.RunCommand(local::kChangeDirectory);
    EXPECT_EQ(view_.Directory(), Path(u"docs"_s));
}

TEST_F(LocalViewTest, HeaderClicksSortKeepingDirectoriesFirst) {
    view_.SetDirectory(root_);
    ClickHeader(kLocalSizeColumn);
    EXPECT_EQ(Names(), (QStringList{u"docs"_s, u"src"_s, u"empty.bin"_s, u".htaccess"_s, u"notes.txt"_s}));
    ClickHeader(kLocalSizeColumn);
    EXPECT_EQ(Names(), (QStringList{u"src"_s, u"docs"_s, u"notes.txt"_s, u".htaccess"_s, u"empty.bin"_s}));
    EXPECT_EQ(view_.List().header()->sortIndicatorOrder(), Qt::DescendingOrder);
    ClickHeader(kLocalNameColumn); // a new column starts ascending
    EXPECT_TRUE(view_.SortAscending());
    EXPECT_EQ(Names().first(), u"docs"_s);

    // The sort commands sort ascending and keep the selection; the choice outlives the directory.
    ClickHeader(kLocalNameColumn);
    Select(u"notes.txt"_s);
    view_.RunCommand(local::kBySize);
    view_.RunCommand(local::kBySize);
    EXPECT_TRUE(view_.SortAscending());
    EXPECT_EQ(view_.SelectedPaths(), QStringList{Path(u"notes.txt"_s)});
    view_.SetDirectory(Path(u"docs"_s));
    EXPECT_EQ(view_.SortColumn(), kLocalSizeColumn);
}

TEST_F(LocalViewTest, RenamingThroughTheLabelEditor) {
    view_.SetDirectory(root_);
    // The same name changes nothing: the list is not even read again.
    Select(u"notes.txt"_s);
    WriteFile(Path(u"later.txt"_s), "x");
    QTest::keyClick(&view_.List(), Qt::Key_F2);
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), u"notes.txt"_s);
    TypeName(u"notes.txt"_s);
    EXPECT_EQ(Model().RowOfName(u"later.txt"_s), -1);

    // A new name renames on disk and the list shows it, selected.
    Select(u"notes.txt"_s);
    view_.RunCommand(local::kRename);
    TypeName(u"Notes 2024.txt"_s);
    EXPECT_FALSE(QFile::exists(Path(u"notes.txt"_s)));
    EXPECT_EQ(ReadFile(Path(u"Notes 2024.txt"_s)).size(), 2048);
    EXPECT_EQ(view_.SelectedPaths(), QStringList{Path(u"Notes 2024.txt"_s)});

    // Directories rename too; a name of another entry or holding "/" is refused with a warning.
    Select(u"src"_s);
    view_.RunCommand(local::kRename);
    TypeName(u"source"_s);
    EXPECT_TRUE(QFileInfo(Path(u"source"_s)).isDir());
    for (const QString& bad : {u"later.txt"_s, u"a/b"_s}) {
        Select(u"empty.bin"_s);
        view_.RunCommand(local::kRename);
        const auto answer = AnswerNextMessage();
        TypeName(bad);
        ASSERT_TRUE(WaitFor([&] { return answer->seen; })) << bad.toStdString();
        EXPECT_EQ(answer->icon, QMessageBox::Warning);
        EXPECT_TRUE(answer->text.contains(bad)) << answer->text.toStdString();
        EXPECT_TRUE(QFile::exists(Path(u"empty.bin"_s)));
    }
    EXPECT_EQ(ReadFile(Path(u"later.txt"_s)), "x");

    // Esc leaves the name alone.
    Select(u"empty.bin"_s);
    view_.RunCommand(local::kRename);
    TypeName(u"other"_s, Qt::Key_Escape);
    EXPECT_TRUE(QFile::exists(Path(u"empty.bin"_s)));
    EXPECT_FALSE(QFile::exists(Path(u"other"_s)));
}

TEST_F(LocalViewTest, NewDirectoryRowCreatesTheDirectoryWhenNamed) {
    view_.SetDirectory(root_);
    const int rows = Model().rowCount();
    view_.RunCommand(local::kNewDirectory);
    ASSERT_EQ(Model().rowCount(), rows + 1);
    EXPECT_TRUE(Model().IsNewDirectoryRow(rows));
    EXPECT_EQ(Model().ColumnText(rows, kLocalNameColumn), QString());
    EXPECT_FALSE(Model().index(rows, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
    ASSERT_NE(Editor(), nullptr);
    EXPECT_EQ(Editor()->text(), QString());
    EXPECT_FALSE(view_.IsCommandEnabled(local::kNewDirectory)); // one at a time
    TypeName(u"photos"_s);
    EXPECT_TRUE(QFileInfo(Path(u"photos"_s)).isDir());
    EXPECT_EQ(Model().rowCount(), rows + 1);
    EXPECT_FALSE(Model().IsNewDirectoryRow(Model().rowCount() - 1));
    EXPECT_EQ(view_.SelectedPaths(), QStringList{Path(u"photos"_s)});

    // An empty name or Esc removes the row and creates nothing.
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        view_.RunCommand(local::kNewDirectory);
        TypeName(key == Qt::Key_Return ? QString() : u"never"_s, key);
        EXPECT_EQ(Model().rowCount(), rows + 1);
        EXPECT_EQ(QDir(root_).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(),
                  rows + 1);
    }

    // A name that cannot be made (a file has it) stops with "Create directory failed!".
    view_.RunCommand(local::kNewDirectory);
    const auto answer = AnswerNextMessage();
    TypeName(u"notes.txt"_s);
    ASSERT_TRUE(WaitFor([&] { return answer->seen; }));
    EXPECT_EQ(answer->text, u"Create directory failed!"_s);
    EXPECT_EQ(answer->icon, QMessageBox::Critical);
    EXPECT_TRUE(QFileInfo(Path(u"notes.txt"_s)).isFile());
    EXPECT_EQ(Model().rowCount(), rows + 1);
}

TEST_F(LocalViewTest, DeleteMovesToTheTrashAskingFirstWhenTheSettingSaysSo) {
    QTemporaryDir data;
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    const bool hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const auto restore = qScopeGuard([&] {
        if (hadDataHome) {
            qputenv("XDG_DATA_HOME", savedDataHome);
        } else {
            qunsetenv("XDG_DATA_HOME");
        }
    });
    view_.SetDirectory(root_);

    // Asked by default: No keeps the file.
    Select(u"notes.txt"_s);
    auto answer = AnswerNextMessage(QMessageBox::No);
    view_.RunCommand(local::kDelete);
    EXPECT_TRUE(answer->seen);
    EXPECT_EQ(answer->text,
              u"All selected files will move to recycle bin, you can restore it from recycle bin. "
              u"are you sure want to moit to recycle bin?"_s);
    EXPECT_EQ(answer->icon, QMessageBox::Question);
    EXPECT_TRUE(QFile::exists(Path(u"notes.txt"_s)));

    // Yes moves every selected entry, directories too.
    view_.List().selectionModel()->select(Model().index(Model().RowOfName(u"src"_s), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    answer = AnswerNextMessage(QMessageBox::Yes);
    QTest::keyClick(&view_.List(), Qt::Key_Delete);
    EXPECT_TRUE(answer->seen);
    EXPECT_FALSE(QFile::exists(Path(u"notes.txt"_s)));
    EXPECT_FALSE(QFile::exists(Path(u"src"_s)));
    EXPECT_TRUE(QFile::exists(data.path() + u"/Trash/files/notes.txt"_s));
    EXPECT_TRUE(QFileInfo(data.path() + u"/Trash/files/src"_s).isDir());
    EXPECT_EQ(Model().RowOfName(u"notes.txt"_s), -1);

    // With the prompt off nothing is asked.
    ASSERT_TRUE(settings_.WriteInt(u"UserPrompt", u"PromptOnDeleteLocalFiles", 0));
    Select(u"empty.bin"_s);
    view_.RunCommand(local::kDelete);
    EXPECT_FALSE(QFile::exists(Path(u"empty.bin"_s)));
    EXPECT_TRUE(QFile::exists(data.path() + u"/Trash/files/empty.bin"_s));
}

TEST_F(LocalViewTest, PasteCopiesTheClipboardsFilesWithoutOverwriting) {
    QTemporaryDir source;
    const QDir from(source.path());
    WriteFile(from.filePath(u"report.pdf"_s), "%PDF-1.4 report");
    WriteFile(from.filePath(u"notes.txt"_s), "other notes");
    from.mkdir(u"folder"_s);
    view_.SetDirectory(root_);

    QApplication::clipboard()->setText(u"just text"_s);
    EXPECT_FALSE(view_.IsCommandEnabled(local::kPaste));
    auto* mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(from.filePath(u"report.pdf"_s)),
                   QUrl::fromLocalFile(from.filePath(u"notes.txt"_s)),
                   QUrl::fromLocalFile(from.filePath(u"folder"_s)), QUrl(u"https://example.org/x"_s)});
    QApplication::clipboard()->setMimeData(mime);
    ASSERT_TRUE(view_.IsCommandEnabled(local::kPaste));

    const auto answer = AnswerNextMessage();
    view_.RunCommand(local::kPaste);
    EXPECT_EQ(ReadFile(Path(u"report.pdf"_s)), "%PDF-1.4 report");
    EXPECT_EQ(ReadFile(Path(u"notes.txt"_s)), QByteArray(2048, 'n'));
    EXPECT_FALSE(QFile::exists(Path(u"folder"_s)));
    ASSERT_TRUE(answer->seen);
    EXPECT_TRUE(answer->text.contains(u"\"notes.txt\""_s)) << answer->text.toStdString();
    EXPECT_FALSE(answer->text.contains(u"report.pdf"_s));
    EXPECT_EQ(view_.SelectedPaths(), QStringList{Path(u"report.pdf"_s)});

    view_.ShowTopLevel();
    EXPECT_FALSE(view_.IsCommandEnabled(local::kPaste));
}

TEST_F(LocalViewTest, ViewRunAndBrowseGoThroughTheDesktop) {
    view_.SetDirectory(root_);
    Select(u"docs"_s);
    EXPECT_FALSE(view_.IsCommandEnabled(local::kView));
    EXPECT_FALSE(view_.IsCommandEnabled(local::kRun));
    Select(u"notes.txt"_s);
    view_.RunCommand(local::kView); // no viewer set: the desktop's own handler
    ASSERT_TRUE(settings_.WriteString(u"Miscellaneous", u"FileViewer", u"/opt/viewer/bin/view"_s));
    view_.RunCommand(local::kView);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(Path(u"notes.txt"_s))});
    EXPECT_EQ(started, QStringList{u"/opt/viewer/bin/view "_s + Path(u"notes.txt"_s)});

    // A double-click runs by default, views with DbClickType 1, waits for uploads with 2 and does
    // nothing with 3.
    opened.clear();
    started.clear();
    DoubleClick(u"empty.bin"_s);
    ASSERT_TRUE(settings_.WriteInt(u"Miscellaneous", u"DbClickType", 1));
    DoubleClick(u"empty.bin"_s);
    ASSERT_TRUE(settings_.WriteInt(u"Miscellaneous", u"DbClickType", 2));
    QSignalSpy uploads(&view_, &CLocalView::uploadRequested);
    DoubleClick(u"empty.bin"_s);
    ASSERT_TRUE(settings_.WriteInt(u"Miscellaneous", u"DbClickType", 3)); // "Ignore"
    DoubleClick(u"empty.bin"_s);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(Path(u"empty.bin"_s))});
    EXPECT_EQ(started, QStringList{u"/opt/viewer/bin/view "_s + Path(u"empty.bin"_s)});
    EXPECT_EQ(uploads.count(), 0);
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kUpload));
    EXPECT_FALSE(view_.IsCommandEnabled(CLocalView::kManualUploadCommand));

    // Where the desktop has no program for a file, Run asks for one.
    openSucceeds = false;
    started.clear();
    test::HandleNextModal([](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->labelText().contains(u"\"empty.bin\""_s));
        dialog->setTextValue(u"  hexedit  "_s);
        dialog->accept();
    });
    view_.RunCommand(local::kRun);
    EXPECT_EQ(started, QStringList{u"hexedit "_s + Path(u"empty.bin"_s)});

    openSucceeds = true;
    opened.clear();
    view_.RunCommand(CLocalView::kBrowseCommand);
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(root_)});
}

TEST_F(LocalViewTest, ContextMenusListTheirEntriesAsEnabledNow) {
    view_.SetDirectory(root_);
    QApplication::clipboard()->setText(u"nothing to paste"_s);
    Select(u"docs"_s);
    EXPECT_EQ(MenuLines(*view_.BuildContextMenu(true)),
              (QStringList{u"&Upload (off)"_s, u"Manual Upload (off)"_s, u"&View (off)"_s, u"&Run (off)"_s,
                           u"-"_s, u"D&elete"_s, u"Re&name"_s, u"-"_s, u"Select &All\tCtrl+A"_s, u"-"_s,
                           u"Up &Level Directory"_s, u"C&hange Directory"_s, u"Ne&w Directory"_s, u"-"_s,
                           u"&Properties"_s}));
    view_.RunCommand(local::kSmallIcons);
    EXPECT_EQ(MenuLines(*view_.BuildContextMenu(false)), (QStringList{u"&Browse"_s,
                                                                      u"-"_s,
                                                                      u"&View"_s,
                                                                      u"  Lar&ge Icons"_s,
                                                                      u"  S&mall Icons [x]"_s,
                                                                      u"  &List"_s,
                                                                      u"  &Detail"_s,
                                                                      u"&Arrange Icons"_s,
                                                                      u"  By Name"_s,
                                                                      u"  By Type"_s,
                                                                      u"  By Size"_s,
                                                                      u"  By Date"_s,
                                                                      u"-"_s,
                                                                      u"&Refresh"_s,
                                                                      u"-"_s,
                                                                      u"Manual Upload (off)"_s,
                                                                      u"-"_s,
                                                                      u"&Paste (off)"_s,
                                                                      u"-"_s,
                                                                      u"Select &All\tCtrl+A"_s,
                                                                      u"-"_s,
                                                                      u"Up &Level Directory"_s,
                                                                      u"C&hange Directory"_s,
                                                                      u"-"_s,
                                                                      u"&New"_s,
                                                                      u"  &Directory"_s}));

    // Choosing an entry runs its command.
    const std::unique_ptr<QMenu> menu = view_.BuildContextMenu(true);
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::kSelectAll) {
            action->trigger();
        }
    }
    EXPECT_EQ(view_.SelectedPaths().size(), Model().rowCount());
    EXPECT_FALSE(view_.IsCommandEnabled(local::kCopyAddress)); // exactly one row
    Select(u"src"_s);
    view_.RunCommand(local::kCopyAddress);
    EXPECT_EQ(QApplication::clipboard()->text(), Path(u"src"_s));
}

TEST_F(LocalViewTest, DraggedRowsCarryTheirFilesAndRefreshKeepsTheSelection) {
    view_.SetDirectory(root_);
    Select(u"notes.txt"_s);
    view_.List().selectionModel()->select(Model().index(Model().RowOfName(u"docs"_s), 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_TRUE(Model().flags(Model().index(0, 0)).testFlag(Qt::ItemIsDragEnabled));
    const std::unique_ptr<QMimeData> mime(Model().mimeData(view_.List().selectionModel()->selectedIndexes()));
    ASSERT_NE(mime, nullptr);
    EXPECT_EQ(mime->urls(),
              (QList<QUrl>{QUrl::fromLocalFile(Path(u"docs"_s)), QUrl::fromLocalFile(Path(u"notes.txt"_s))}));
    // Files dropped back on the pane (its own rows or any other program's) are no copy of them.
    EXPECT_FALSE(test::DropOn(*view_.List().viewport(), *mime));

    WriteFile(Path(u"arrived.txt"_s), "new");
    view_.RunCommand(local::kRefresh);
    EXPECT_GE(Model().RowOfName(u"arrived.txt"_s), 0);
    EXPECT_EQ(view_.SelectedPaths(), (QStringList{Path(u"docs"_s), Path(u"notes.txt"_s)}));

    // A directory that went away gives way to its parent.
    view_.SetDirectory(Path(u"docs/drafts"_s));
    ASSERT_TRUE(QDir(Path(u"docs"_s)).removeRecursively());
    view_.Refresh();
    EXPECT_EQ(view_.Directory(), root_);
}

TEST_F(LocalViewTest, PropertiesShowTheEntrysDetails) {
    view_.SetDirectory(root_);
    ASSERT_TRUE(QFile::setPermissions(Path(u"notes.txt"_s), QFile::ReadOwner | QFile::WriteOwner |
                                                                QFile::ReadGroup | QFile::ReadOther));
    Select(u"notes.txt"_s);
    bool shown = false;
    test::HandleNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CLocalPropertiesDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shown = true;
        EXPECT_EQ(dialog->FieldText(u"Location:"_s), root_);
        EXPECT_EQ(dialog->FieldText(u"Size:"_s), u"3 KB (%1 bytes)"_s.arg(QLocale().toString(2048)));
        EXPECT_EQ(dialog->FieldText(u"Permissions:"_s), u"rw-r--r-- (644)"_s);
        EXPECT_FALSE(dialog->FieldText(u"Owner:"_s).isEmpty());
        EXPECT_EQ(dialog->FieldText(u"Modified:"_s),
                  QFileInfo(Path(u"notes.txt"_s)).lastModified().toString(u"yyyy-MM-dd HH:mm:ss"_s));
        test::SaveScreenshot(*dialog, u"local-properties"_s);
        dialog->reject();
    });
    view_.RunCommand(local::kProperties);
    EXPECT_TRUE(shown);
}

TEST_F(LocalViewTest, FocusInAnyPartMakesThePaneActive) {
    QWidget other;
    other.show();
    QSignalSpy gained(&view_, &CLocalView::focusGained);
    for (QWidget* part : {static_cast<QWidget*>(&view_.List()), static_cast<QWidget*>(&view_.PathCombo())}) {
        QApplication::setActiveWindow(&other);
        other.setFocus();
        QApplication::setActiveWindow(&view_);
        part->setFocus(Qt::MouseFocusReason);
        QApplication::processEvents();
    }
    EXPECT_GE(gained.count(), 2);
}

TEST_F(LocalViewTest, ScreenshotOfARealisticDirectory) {
    QDir dir(root_);
    for (const QString& name : {u"Documents"_s, u"Music"_s, u"Pictures"_s, u"public_html"_s, u".config"_s}) {
        dir.mkdir(name);
    }
    const QList<std::pair<QString, int>> files = {
        {u"README.md"_s, 4312},
        {u"index.html"_s, 18230},
        {u"style.css"_s, 5120},
        {u"logo.png"_s, 48213},
        {u"backup-2024-05.tar.gz"_s, 73400320},
        {u"invoice-0042.pdf"_s, 281600},
        {u"deploy.sh"_s, 933},
        {u"photo 12.jpg"_s, 2457600},
        {u"photo 2.jpg"_s, 1984512},
        {u"notes.txt"_s, 2048},
        {u"Quarterly report (final version).odt"_s, 35840},
    };
    int day = 1;
    for (const auto& [name, size] : files) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(size);
        file.setFileTime(QDateTime(QDate(2024, 5, day), QTime(9 + day % 8, 5 * day)),
                         QFileDevice::FileModificationTime);
        day += 2;
    }
    view_.SetDirectory(root_);
    Select(u"index.html"_s);
    view_.resize(620, 440);
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"local-pane"_s).isEmpty());
    view_.RunCommand(local::kLargeIcons);
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"local-pane-large-icons"_s).isEmpty());
    view_.RunCommand(local::kList);
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"local-pane-list"_s).isEmpty());
    view_.RunCommand(local::kDetail);
    view_.ShowTopLevel();
    QApplication::processEvents();
    EXPECT_FALSE(test::SaveScreenshot(view_, u"local-pane-top-level"_s).isEmpty());
}

} // namespace
} // namespace tessaly
