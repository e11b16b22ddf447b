#include "panes/OutputView.h"

#include "gui/GuiSupport.h"
#include "settings/SettingsStore.h"
#include "ui/CommandIds.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

const QColor kGreen(0, 128, 0);
const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

// The colour of every character of the block; invalid when they differ or the line is blank.
QColor BlockColour(const QTextBlock& block) {
    QColor colour;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QColor piece = it.fragment().charFormat().foreground().color();
        if (colour.isValid() && piece != colour) {
            return {};
        }
        colour = piece;
    }
    return colour;
}

QString ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : u"<unreadable>"_s;
}

class OutputViewTest : public ::testing::Test {
protected:
    OutputViewTest() : settings_(dir_.filePath(u"tessaly.INI"_s)), view_(settings_) {}

    void AppendSessionLines() {
        view_.AppendText(kGreen, u"COMMAND:>  USER anonymous\r\n"_s);
        view_.AppendText(kBlack, u"              331 Password required.\r\n"_s);
        view_.AppendText(kBlue, u"STATUS:>  Logged on.\n"_s);
        view_.AppendText(kBlack, u"\r\n"_s);
        view_.AppendText(kRed, u"ERROR:>  Connection closed.\r\n"_s);
    }

    QTemporaryDir dir_;
    SettingsStore settings_;
    COutputView view_;
};

TEST_F(OutputViewTest, AppendedLinesKeepTheirOrderColoursAndOneBreakEach) {
    AppendSessionLines();
    // A multi-line reply in one call, and a stray CR, still give one line per break.
    view_.AppendText(kBlack, u"              230-Welcome\r\n              230 OK\r\n"_s);
    view_.AppendText(kBlue, u"a\rb\r\n"_s);

    EXPECT_EQ(view_.toPlainText(), u"COMMAND:>  USER anonymous\n"
                                   "              331 Password required.\n"
                                   "STATUS:>  Logged on.\n"
                                   "\n"
                                   "ERROR:>  Connection closed.\n"
                                   "              230-Welcome\n"
                                   "              230 OK\n"
                                   "a\nb\n"_s);
    const QList<QColor> expected = {kGreen, kBlack, kBlue, QColor(), kRed, kBlack, kBlack, kBlue, kBlue};
    QTextBlock block = view_.document()->firstBlock();
    for (qsizetype i = 0; i < expected.size(); ++i, block = block.next()) {
        ASSERT_TRUE(block.isValid()) << i;
        EXPECT_EQ(BlockColour(block), expected[i]) << "line " << i << ": " << block.text().toStdString();
        const QTextCharFormat format =
            block.length() > 1 ? block.begin().fragment().charFormat() : block.charFormat();
        EXPECT_FALSE(format.font().bold()) << i;
    }
    EXPECT_EQ(view_.font().pointSize(), 8);
    EXPECT_FALSE(view_.font().bold());
    EXPECT_FALSE(view_.document()->isModified());
    EXPECT_TRUE(view_.isReadOnly());
}

TEST_F(OutputViewTest, AppendingLeavesTheUsersSelectionAndItsColour) {
    AppendSessionLines();
    const QTextBlock second = view_.document()->findBlockByNumber(1);
    QTextCursor middle(view_.document());
    middle.setPosition(second.position() + 3);
    middle.setPosition(second.position() + 20, QTextCursor::KeepAnchor);
    view_.setTextCursor(middle);
    const QString selected = view_.textCursor().selectedText();

    view_.AppendText(kRed, u"ERROR:>  Again.\r\n"_s);
    EXPECT_EQ(view_.textCursor().anchor(), middle.anchor());
    EXPECT_EQ(view_.textCursor().position(), middle.position());
    EXPECT_EQ(view_.textCursor().selectedText(), selected);
    EXPECT_EQ(BlockColour(view_.document()->findBlockByNumber(1)), kBlack);
    EXPECT_EQ(BlockColour(view_.document()->findBlockByNumber(5)), kRed);

    // A selection reaching the end does not stretch over new lines: Select all is offered again.
    view_.RunCommand(cmd::kSelectAll);
    const int end = view_.textCursor().position();
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kSelectAll));
    view_.AppendText(kGreen, u"COMMAND:>  PWD\r\n"_s);
    EXPECT_EQ(view_.textCursor().selectionStart(), 0);
    EXPECT_EQ(view_.textCursor().selectionEnd(), end);
    EXPECT_TRUE(view_.IsCommandEnabled(cmd::kSelectAll));
    EXPECT_EQ(BlockColour(view_.document()->findBlockByNumber(6)), kGreen);
}

TEST_F(OutputViewTest, CommandsAreEnabledByTextAndSelection) {
    for (int id : {cmd::kEditClear, cmd::kEditCopy, cmd::kLogSave, cmd::kSelectAll}) {
        EXPECT_TRUE(view_.HandlesCommand(id)) << id;
        EXPECT_FALSE(view_.IsCommandEnabled(id)) << "empty pane, command " << id;
    }
    EXPECT_FALSE(view_.HandlesCommand(cmd::kEditPaste));

    view_.AppendText(kBlack, u"\r\n"_s); // a blank line is text too
    EXPECT_TRUE(view_.IsCommandEnabled(cmd::kEditClear));
    EXPECT_TRUE(view_.IsCommandEnabled(cmd::kLogSave));
    EXPECT_TRUE(view_.IsCommandEnabled(cmd::kSelectAll));
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kEditCopy));

    view_.AppendText(kBlue, u"STATUS:>  Connected.\r\n"_s);
    view_.show();
    view_.setFocus();
    QTest::keyClick(&view_, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(view_.IsCommandEnabled(cmd::kEditCopy));
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kSelectAll));
    QApplication::clipboard()->clear();
    view_.RunCommand(cmd::kEditCopy);
    EXPECT_EQ(QApplication::clipboard()->text(), u"\nSTATUS:>  Connected.\n"_s);

    // Typing does not change a read-only log.
    QTest::keyClicks(&view_, u"xyz"_s);
    QTest::keyClick(&view_, Qt::Key_Delete);
    EXPECT_EQ(view_.toPlainText(), u"\nSTATUS:>  Connected.\n"_s);
}

TEST_F(OutputViewTest, ClearAsksOnlyWhenTheSettingSaysSo) {
    AppendSessionLines();
    bool asked = false;
    test::HandleNextModal(
        [&](QWidget* modal) {
            asked = true;
            modal->close();
        },
        300);
    view_.RunCommand(cmd::kEditClear);
    EXPECT_FALSE(asked);
    EXPECT_TRUE(view_.document()->isEmpty());
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kEditClear));
    QTest::qWait(350); // let the unused handler expire

    ASSERT_TRUE(settings_.WriteInt(u"UserPrompt", u"PromptOnClearFtpServerlog", 1));
    for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        AppendSessionLines();
        const QString before = view_.toPlainText();
        QString question;
        test::HandleNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            question = box->text();
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
            EXPECT_EQ(box->windowTitle(), u"Tessaly Client"_s);
            box->button(answer)->click();
        });
        view_.RunCommand(cmd::kEditClear);
        EXPECT_EQ(question, u"Are you sure want to clear all ftp commands and status?"_s);
        EXPECT_EQ(view_.toPlainText(), answer == QMessageBox::No ? before : QString());
    }
    // After a clear the next line starts a fresh log in its own colour.
    view_.AppendText(kRed, u"ERROR:>  x\r\n"_s);
    EXPECT_EQ(view_.toPlainText(), u"ERROR:>  x\n"_s);
    EXPECT_EQ(BlockColour(view_.document()->firstBlock()), kRed);
    EXPECT_EQ(view_.font().pointSize(), 8);
}

TEST_F(OutputViewTest, SaveWritesTheWholeTextAsUtf8ThroughTheChooser) {
    AppendSessionLines();
    view_.AppendText(kBlack, u"              257 \"/Gr\u00fc\u00dfe\" is current.\r\n"_s);
    const QString path = dir_.filePath(u"session.log"_s);
    int asked = 0;
    view_.savePathChooser = [&] {
        ++asked;
        return path;
    };
    view_.RunCommand(cmd::kLogSave);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(ReadFile(path), u"COMMAND:>  USER anonymous\n"
                              "              331 Password required.\n"
                              "STATUS:>  Logged on.\n"
                              "\n"
                              "ERROR:>  Connection closed.\n"
                              "              257 \"/Gr\u00fc\u00dfe\" is current.\n"_s);

    // Saving again replaces the file; cancelling the chooser writes nothing.
    view_.AppendText(kBlue, u"STATUS:>  more\r\n"_s);
    view_.savePathChooser = [] { return QString(); };
    EXPECT_FALSE(view_.SaveLog());
    EXPECT_FALSE(ReadFile(path).contains(u"more"_s));
    view_.savePathChooser = [&] { return path; };
    EXPECT_TRUE(view_.SaveLog());
    EXPECT_TRUE(ReadFile(path).endsWith(u"STATUS:>  more\n"_s));
}

TEST_F(OutputViewTest, SavedLogsAreReadableByTheirOwnerOnly) {
    AppendSessionLines();
    // With no umask to narrow it, a new file would otherwise be readable by everyone; an old file's
    // wider mode would otherwise be kept.
    const struct MaskRestorer {
        mode_t saved;
        ~MaskRestorer() { ::umask(saved); }
    } restorer{::umask(0)};
    for (const auto& [name, oldMode] : std::vector<std::pair<QString, int>>{
             {u"new.log"_s, -1}, {u"shared.log"_s, 0644}, {u"open.log"_s, 0666}, {u"odd.log"_s, 0755}}) {
        const QString path = dir_.filePath(name);
        const QByteArray file = QFile::encodeName(path);
        if (oldMode >= 0) {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
            old.close();
            ASSERT_EQ(::chmod(file.constData(), static_cast<mode_t>(oldMode)), 0);
        }
        view_.savePathChooser = [&path] { return path; };
        EXPECT_TRUE(view_.SaveLog()) << name.toStdString();
        struct stat info {};
        ASSERT_EQ(::stat(file.constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0600u) << name.toStdString();
        EXPECT_TRUE(ReadFile(path).startsWith(u"COMMAND:>  USER anonymous\n"_s)) << name.toStdString();
    }
}

TEST_F(OutputViewTest, AFailedSaveWarnsAndLosesNothing) {
    AppendSessionLines();
    const QString before = view_.toPlainText();

    const QString missing = dir_.filePath(u"no/such/folder/session.log"_s);
    view_.savePathChooser = [&] { return missing; };
    QString warning;
    test::HandleNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        warning = box->text();
        box->accept();
    });
    EXPECT_FALSE(view_.SaveLog());
    EXPECT_TRUE(warning.contains(missing)) << warning.toStdString();
    EXPECT_EQ(view_.toPlainText(), before);
    EXPECT_FALSE(QFile::exists(missing));

    // A write that fails half-way (the file size limit, which binds root too) leaves the old file
    // whole, where writing straight into it would have cut it short.
    const QString existing = dir_.filePath(u"kept.log"_s);
    const QByteArray old(3000, 'o');
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(old), old.size());
    }
    for (int i = 0; i < 2000; ++i) {
        view_.AppendText(kBlack, u"              200 a line long enough to pass the limit soon\r\n"_s);
    }
    view_.savePathChooser = [&] { return existing; };
    warning.clear();
    test::HandleNextModal([&](QWidget* modal) {
        warning = test::ModalText(modal);
        modal->close();
    });
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = view_.SaveLog();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(saved1);
    EXPECT_TRUE(warning.contains(existing)) << warning.toStdString();
    QFile file(existing);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == old) << "the old file was changed";
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";
}

TEST_F(OutputViewTest, TheDefaultChooserIsASaveDialogForLogAndTextFiles) {
    AppendSessionLines();
    bool seen = false;
    test::HandleNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        seen = true;
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(dialog->nameFilters(), (QStringList{u"Log file (*.log)"_s, u"Text file (*.txt)"_s}));
        EXPECT_EQ(dialog->defaultSuffix(), u"log"_s);
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->reject();
    });
    EXPECT_FALSE(view_.SaveLog());
    EXPECT_TRUE(seen);
}

TEST_F(OutputViewTest, TheContextMenuOffersTheCommandsAsEnabled) {
    AppendSessionLines();
    view_.resize(500, 200);
    view_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));

    QStringList texts;
    QList<bool> enabled;
    QPoint menuAt;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr || !menu->isVisible()) {
            return;
        }
        poll.stop();
        menuAt = menu->pos();
        for (QAction* action : menu->actions()) {
            texts.append(action->isSeparator() ? u"-"_s : action->text());
            enabled.append(action->isEnabled());
        }
        QAction* selectAll = menu->actions().last();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(selectAll).center());
    });
    poll.start();
    const QPoint local(40, 30);
    QContextMenuEvent event(QContextMenuEvent::Mouse, local, view_.viewport()->mapToGlobal(local));
    QApplication::sendEvent(view_.viewport(), &event);

    EXPECT_EQ(texts, (QStringList{u"&Copy"_s, u"Cl&ear"_s, u"&Save"_s, u"-"_s, u"Select &All"_s}));
    EXPECT_EQ(enabled, (QList<bool>{false, true, true, true, true}));
    EXPECT_EQ(menuAt, view_.viewport()->mapToGlobal(local));
    EXPECT_FALSE(view_.IsCommandEnabled(cmd::kSelectAll)) << "the chosen item ran";
    EXPECT_TRUE(view_.IsCommandEnabled(cmd::kEditCopy));
}

TEST_F(OutputViewTest, GainingTheFocusIsReported) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* other = new QPlainTextEdit(&window);
    auto* log = new COutputView(settings_, &window);
    layout->addWidget(other);
    layout->addWidget(log);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    other->setFocus();
    QSignalSpy gained(log, &COutputView::focusGained);
    log->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(gained.count(), 1);
    other->setFocus();
    EXPECT_EQ(gained.count(), 1);
}

TEST_F(OutputViewTest, TheViewFollowsNewLinesOnlyFromTheBottom) {
    view_.resize(400, 200);
    view_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    QScrollBar* bar = view_.verticalScrollBar();
    for (int i = 0; i < 200; ++i) {
        view_.AppendText(kBlack, u"              line %1\r\n"_s.arg(i));
    }
    QCoreApplication::processEvents();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());

    bar->setValue(10); // the user scrolled up to read
    view_.AppendText(kRed, u"ERROR:>  new\r\n"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 10);

    bar->setValue(bar->maximum());
    const int before = bar->maximum();
    view_.AppendText(kBlue, u"STATUS:>  newer\r\n"_s);
    QCoreApplication::processEvents();
    EXPECT_GT(bar->maximum(), before);
    EXPECT_EQ(bar->value(), bar->maximum());

    // Scrolling up between a line and the loop's next turn also stops the following.
    view_.AppendText(kBlue, u"STATUS:>  newest\r\n"_s);
    bar->setValue(20);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 20);
}

TEST_F(OutputViewTest, AHundredThousandLinesStayInOrderAndColour) {
    view_.resize(600, 300);
    view_.show();
    const QColor colours[] = {kGreen, kBlack, kBlue, kRed};
    constexpr int kLines = 100'000;
    for (int i = 0; i < kLines; ++i) {
        view_.AppendText(colours[i % 4], u"line %1\r\n"_s.arg(i));
    }
    QTextDocument* document = view_.document();
    ASSERT_EQ(document->blockCount(), kLines + 1); // and the empty line after the last break
    for (int i : {0, 1, 2, 3, 4711, 50'000, kLines - 1}) {
        const QTextBlock block = document->findBlockByNumber(i);
        EXPECT_EQ(block.text(), u"line %1"_s.arg(i));
        EXPECT_EQ(BlockColour(block), colours[i % 4]) << i;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(view_.verticalScrollBar()->value(), view_.verticalScrollBar()->maximum());
    EXPECT_FALSE(document->isUndoRedoEnabled());
    test::SaveScreenshot(view_, u"log_pane_100000_lines"_s);
}

TEST_F(OutputViewTest, Screenshot) {
    AppendSessionLines();
    view_.AppendText(kGreen, u"COMMAND:>  PASV\r\n"_s);
    view_.AppendText(kBlack, u"              227 Entering Passive Mode (127,0,0,1,195,80).\r\n"_s);
    view_.AppendText(kGreen, u"COMMAND:>  LIST\r\n"_s);
    view_.AppendText(kBlack, u"              150 Here comes the directory listing.\r\n"_s);
    view_.AppendText(kBlue, u"STATUS:>  Received 1,204 bytes in 0.1 secs.\r\n"_s);
    view_.resize(640, 220);
    view_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    EXPECT_FALSE(test::SaveScreenshot(view_, u"log_pane"_s).isEmpty());
}

} // namespace
} // namespace tessaly
