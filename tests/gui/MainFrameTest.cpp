// The main window driven as a user would: its layout, the pane toggles, the Quick Connect bar, the
// closing questions, and a session with a real local server shown in the log and the remote pane.
#include "ui/MainFrame.h"

#include "GuiSupport.h"
#include "MainFrameFixture.h"
#include "panes/LocalView.h"
#include "panes/OutputView.h"
#include "panes/RemoteView.h"
#include "support/EventPump.h"
#include "support/FtpServerProcess.h"
#include "ui/CommandIds.h"
#include "ui/QuickConnectBar.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;
using ServerKind = FtpServerProcess::Kind;

TEST(PaneLayoutRules, IdealSizesOfAFrame) {
    const PaneSizes sizes = IdealPaneSizes(QSize(900, 600));
    EXPECT_EQ(sizes.topRowHeight, 400);
    EXPECT_EQ(sizes.localWidth, 300);
    EXPECT_EQ(sizes.taskWidth, 600);
    const PaneSizes tiny = IdealPaneSizes(QSize(120, 90));
    EXPECT_EQ(tiny.topRowHeight, 100);
    EXPECT_EQ(tiny.localWidth, 100);
    EXPECT_EQ(tiny.taskWidth, 100);
}

TEST(PaneLayoutRules, ARowNeverShowsNothing) {
    PaneVisibility panes;
    panes.ToggleRemote(); // remote hidden
    panes.ToggleLocal();  // hiding local while remote is hidden shows remote and hides local
    EXPECT_FALSE(panes.LocalVisible());
    EXPECT_TRUE(panes.RemoteVisible());
    panes.ToggleLocal();
    EXPECT_TRUE(panes.LocalVisible());
    EXPECT_TRUE(panes.RemoteVisible());

    PaneVisibility bottom;
    bottom.ToggleLog(); // log hidden, task alone
    EXPECT_FALSE(bottom.LogVisible());
    bottom.ToggleTask(); // hiding the task pane then hides the whole row
    EXPECT_TRUE(bottom.bottomRowHidden);
    EXPECT_FALSE(bottom.TaskVisible());
    bottom.ToggleLog(); // showing the log shows the row with the log alone
    EXPECT_FALSE(bottom.bottomRowHidden);
    EXPECT_TRUE(bottom.LogVisible());
    EXPECT_FALSE(bottom.TaskVisible());
    bottom.ToggleTask();
    EXPECT_TRUE(bottom.TaskVisible());
    EXPECT_TRUE(bottom.LogVisible());
}

TEST_F(MainFrameTest, StartsWithTheTitleToolbarAndEmptyDisabledRemotePane) {
    EXPECT_EQ(frame().windowTitle(), u"Tessaly Client"_s);
    QList<int> buttons;
    for (QAction* action : frame().StandardBar().actions()) {
        if (!action->isSeparator()) {
            buttons.append(action->data().toInt());
        }
    }
    EXPECT_EQ(buttons, (QList<int>{32916, 32786, 32790, 32788, 32789, 32843, 32791, 32803, 32836, 32838,
                                   32855, 32861, 32842, 32815, 32941, 57665}));
    EXPECT_EQ(frame().ConnectBar().Port().text(), u"21"_s);
    EXPECT_FALSE(frame().RemoteView().IsPaneEnabled());
    EXPECT_TRUE(RemoteNames().isEmpty());
    // The site dialogs and the options open at any time; the sheets of a session or a saved site need one.
    for (const int id : {cmd::kSiteManager, cmd::kNewSite, cmd::kConnectWizard, cmd::kOption}) {
        EXPECT_TRUE(frame().Action(id)->isEnabled()) << id;
    }
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kNewSiteFromSession));
    EXPECT_FALSE(frame().Action(cmd::kSiteProperties)->isEnabled());
    // Without a session nothing can be uploaded, stopped or connected again.
    EXPECT_FALSE(frame().Action(cmd::kReconnect)->isEnabled());
    EXPECT_FALSE(frame().Action(cmd::kUpload)->isEnabled());
    EXPECT_FALSE(frame().Action(cmd::kDisconnect)->isEnabled());
    EXPECT_FALSE(frame().Action(cmd::kAbort)->isEnabled());
}

TEST_F(MainFrameTest, SplittersFollowTheResizeRule) {
    frame().resize(1000, 760);
    QTest::qWait(20);
    const QSize client = frame().OuterSplitter().size();
    const PaneSizes ideal = IdealPaneSizes(client);
    EXPECT_EQ(frame().OuterSplitter().sizes().value(0), ideal.topRowHeight);
    EXPECT_EQ(frame().TopSplitter().sizes().value(0), ideal.localWidth);
    EXPECT_EQ(frame().BottomSplitter().sizes().value(0), ideal.taskWidth);
}

TEST_F(MainFrameTest, PaneTogglesHideAndShowTheWidgets) {
    QAction* logView = frame().Action(cmd::kLogView);
    QAction* taskView = frame().Action(cmd::kTaskView);
    EXPECT_TRUE(logView->isChecked());
    logView->trigger();
    EXPECT_TRUE(frame().OutputView().isHidden());
    EXPECT_FALSE(logView->isChecked());
    taskView->trigger(); // the task pane was alone: the bottom row goes
    EXPECT_TRUE(frame().BottomSplitter().isHidden());
    EXPECT_FALSE(taskView->isChecked());
    logView->trigger();
    EXPECT_FALSE(frame().BottomSplitter().isHidden());
    EXPECT_FALSE(frame().OutputView().isHidden());
    EXPECT_TRUE(frame().TaskPane().isHidden());

    frame().Action(cmd::kRemoteView)->trigger();
    EXPECT_TRUE(frame().RemoteView().isHidden());
    frame().Action(cmd::kLocalView)->trigger();
    EXPECT_FALSE(frame().RemoteView().isHidden());
    EXPECT_TRUE(frame().LocalPane().isHidden());
    EXPECT_FALSE(frame().Action(cmd::kLocalView)->isChecked());
    EXPECT_TRUE(frame().Action(cmd::kRemoteView)->isChecked());
}

TEST_F(MainFrameTest, PaneCommandsGoToTheActivePane) {
    QTemporaryDir tree;
    ASSERT_TRUE(QDir(tree.path()).mkpath(u"inner/deeper"_s));
    ASSERT_TRUE(frame().LocalPane().SetDirectory(tree.path() + u"/inner"_s));
    QAction* up = frame().Action(cmd::kUpLevel);

    // The local list has the focus: Up level (Ctrl+U) goes to the local parent.
    QTreeView* localList = frame().LocalPane().findChild<QTreeView*>();
    ASSERT_NE(localList, nullptr);
    localList->setFocus();
    ASSERT_TRUE(pumpEventsUntil([&] { return frame().Active() == CMainFrame::ActivePane::Local; }, 2000));
    frame().UpdateCommandStates();
    EXPECT_TRUE(up->isEnabled());
    QTest::keyClick(localList, Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(frame().LocalPane().Directory(), QDir(tree.path()).canonicalPath());

    // The remote pane, empty without a session: the same command is disabled and does nothing.
    RemoteList().setFocus();
    ASSERT_TRUE(pumpEventsUntil([&] { return frame().Active() == CMainFrame::ActivePane::Remote; }, 2000));
    frame().UpdateCommandStates();
    EXPECT_FALSE(up->isEnabled());
    frame().RunCommand(cmd::kUpLevel);
    EXPECT_EQ(frame().LocalPane().Directory(), QDir(tree.path()).canonicalPath());

    // The log pane: Select all selects the log, and the file-pane commands are disabled.
    frame().OutputView().AppendText(Qt::black, u"one line\r\n"_s);
    frame().OutputView().setFocus();
    ASSERT_TRUE(pumpEventsUntil([&] { return frame().Active() == CMainFrame::ActivePane::Log; }, 2000));
    frame().RunCommand(cmd::kSelectAll);
    EXPECT_TRUE(frame().OutputView().textCursor().selectedText().startsWith(u"one line"_s));
    frame().UpdateCommandStates();
    EXPECT_FALSE(frame().Action(cmd::kRefresh)->isEnabled());
}

TEST_F(MainFrameTest, CtrlQShowsTheBarAndFocusesHost) {
    frame().RunCommand(cmd::kHideConnectBar);
    EXPECT_TRUE(frame().ConnectBar().isHidden());
    QTest::keyClick(&frame(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame().ConnectBar().isHidden());
    EXPECT_TRUE(pumpEventsUntil([&] { return frame().ConnectBar().Host().hasFocus(); }, 2000));
    // Again: the bar goes and the log pane takes the focus.
    QTest::keyClick(&frame(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(frame().ConnectBar().isHidden());
    EXPECT_TRUE(pumpEventsUntil([&] { return frame().OutputView().hasFocus(); }, 2000));
}

// Each Alt+letter of the window belongs to one thing: a menu, a field of the Quick Connect bar or a
// command's own shortcut (Alt+O, the options). Two holders of one key make it run neither.
TEST_F(MainFrameTest, EveryAltKeyOfTheWindowHasOneHolder) {
    QMap<QKeySequence, QStringList> holders;
    for (QAction* menu : frame().menuBar()->actions()) {
        holders[QKeySequence::mnemonic(menu->text())] << menu->text();
    }
    for (QLabel* label : frame().ConnectBar().findChildren<QLabel*>()) {
        if (label->buddy() != nullptr) {
            holders[QKeySequence::mnemonic(label->text())] << label->text();
        }
    }
    for (QAction* action : frame().findChildren<QAction*>()) {
        for (const QKeySequence& key : action->shortcuts()) {
            if (key.count() == 1 && key[0].keyboardModifiers() == Qt::AltModifier) {
                holders[key] << action->text();
            }
        }
    }
    holders.remove(QKeySequence());
    for (auto it = holders.cbegin(); it != holders.cend(); ++it) {
        EXPECT_EQ(it.value().size(), 1)
            << qPrintable(it.key().toString() + u": "_s + it.value().join(u", "_s));
    }
    QTest::keyClick(&frame(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(pumpEventsUntil([&] { return frame().ConnectBar().Host().hasFocus(); }, 2000));
}

TEST_F(MainFrameTest, ClosingWithoutAConnectionNeverAsks) {
    settings().WriteInt(u"UserPrompt", u"PromptOnCloseMainWindow", 1);
    bool asked = false;
    HandleNextModal(
        [&](QWidget* modal) {
            asked = true;
            modal->close();
        },
        300);
    EXPECT_TRUE(frame().close());
    QTest::qWait(350);
    EXPECT_FALSE(asked);
    frame_.reset();
}

TEST_F(MainFrameTest, EmptyHostConnectsNowhere) {
    QTest::keyClick(&frame().ConnectBar().Host(), Qt::Key_Return);
    EXPECT_EQ(frame().Engine().Session(), nullptr);
    EXPECT_TRUE(LogText().isEmpty());
}

// Quick Connect to real servers: the login listing, into a directory and back from the cache, the
// log's colours, the closing question.
class MainFrameSession : public MainFrameTest, public ::testing::WithParamInterface<ServerKind> {};

TEST_P(MainFrameSession, QuickConnectListsBrowsesAndClosesWithTheQuestion) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, GetParam());
    // After the login listing the server's welcome is shown ("ShowLoginMsg" is on by default).
    QString welcomeCaption;
    QString welcomeText;
    HandleNextModal(
        [&](QWidget* modal) {
            welcomeCaption = modal->windowTitle();
            for (const QPlainTextEdit* box : modal->findChildren<QPlainTextEdit*>()) {
                welcomeText += box->toPlainText();
            }
            for (const QTextEdit* box : modal->findChildren<QTextEdit*>()) {
                welcomeText += box->toPlainText();
            }
            qobject_cast<QDialog*>(modal)->accept();
        },
        15000);
    QuickConnect(*server, {}, {});
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
    EXPECT_EQ(welcomeCaption, u"Server Information"_s);
    EXPECT_TRUE(welcomeText.contains(u"220"_s)) << qPrintable(welcomeText);
    EXPECT_TRUE(RemoteNames().contains(u"pub"_s)) << qPrintable(RemoteNames().join(u','));
    EXPECT_TRUE(RemoteNames().contains(u"incoming"_s));
    EXPECT_TRUE(frame().windowTitle().startsWith(u"Tessaly Client - 127.0.0.1"_s))
        << qPrintable(frame().windowTitle());
    EXPECT_TRUE(frame().Action(cmd::kDisconnect)->isEnabled());

    // Each kind of line has its prefix and colour: commands dark green, status blue, replies black.
    QHash<QString, QColor> colours;
    for (QTextBlock block = frame().OutputView().document()->begin(); block.isValid(); block = block.next()) {
        if (block.begin().atEnd()) {
            continue; // a blank line has no fragment
        }
        const QColor colour = block.begin().fragment().charFormat().foreground().color();
        if (block.text().startsWith(u"COMMAND:>  USER anonymous"_s)) {
            colours.insert(u"command"_s, colour);
        } else if (block.text().startsWith(u"STATUS:>  "_s)) {
            colours.insert(u"status"_s, colour);
        } else if (block.text().startsWith(u"              230"_s)) {
            colours.insert(u"reply"_s, colour);
        }
    }
    EXPECT_EQ(colours.value(u"command"_s), QColor(0, 128, 0)) << qPrintable(LogText());
    EXPECT_EQ(colours.value(u"status"_s), QColor(0, 0, 255));
    EXPECT_EQ(colours.value(u"reply"_s), QColor(0, 0, 0));

    // Double-click pub: the pane lists /pub.
    QTreeView& list = RemoteList();
    const int row = int(RemoteNames().indexOf(u"pub"_s));
    const QRect rect = list.visualRect(list.model()->index(row, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());
    EXPECT_TRUE(RemoteNames().contains(u"hello.txt"_s));
    EXPECT_TRUE(RemoteNames().contains(u"docs"_s));
    ASSERT_TRUE(frame().LocalPane().SetDirectory(server->root()));
    SaveScreenshot(frame(), u"main-window-connected"_s);

    // Up again: only CDUP goes out, the listing comes from the cache.
    const qsizetype logBefore = LogText().size();
    frame().RemoteView().setFocus();
    QToolButton* up = nullptr;
    for (QToolButton* button : frame().RemoteView().findChildren<QToolButton*>()) {
        if (button->isEnabled() && button->isVisible()) {
            up = button;
        }
    }
    ASSERT_NE(up, nullptr);
    QTest::mouseClick(up, Qt::LeftButton);
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
    const QString after = LogText().mid(logBefore);
    EXPECT_TRUE(after.contains(u"CDUP"_s)) << qPrintable(after);
    EXPECT_FALSE(after.contains(u"LIST"_s)) << qPrintable(after);
    EXPECT_TRUE(RemoteNames().contains(u"pub"_s));

    // Closing while connected asks; No keeps the window and the session.
    QString question;
    HandleNextModal([&](QWidget* modal) {
        question = ModalText(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
    });
    EXPECT_FALSE(frame().close());
    EXPECT_EQ(question, u"Connection is avtive, are you sure want to quit Tessaly Client?"_s);
    EXPECT_TRUE(frame().Engine().HasControlConnection());
    // Yes closes the session and the window.
    HandleNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_TRUE(frame().close());
    EXPECT_FALSE(frame().Engine().HasControlConnection());
    frame_.reset();
}

INSTANTIATE_TEST_SUITE_P(Servers, MainFrameSession,
                         ::testing::Values(ServerKind::Pyftpdlib, ServerKind::Vsftpd), [](const auto& info) {
                             return FtpServerProcess::kindName(info.param).toStdString();
                         });

TEST_F(MainFrameTest, RefusedPasswordAsksAgainAndTheCountdownCancels) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Pyftpdlib);
    settings().WriteInt(u"General", u"PassWaitTime", 2);
    QString caption;
    bool cancelledByItself = false;
    HandleNextModal(
        [&](QWidget* modal) {
            caption = modal->windowTitle();
            SaveScreenshot(*modal, u"dialog-login-after-refusal"_s);
            // Nobody answers: the countdown ends the dialog.
            cancelledByItself = pumpEventsUntil([&] { return !modal->isVisible(); }, 6000);
        },
        15000);
    QuickConnect(*server, server->userName(), u"wrong"_s);
    ASSERT_TRUE(pumpEventsUntil([&] { return LogText().contains(u"Disconnect by client."_s); }, 20000))
        << qPrintable(LogText());
    EXPECT_EQ(caption, u"Login"_s);
    EXPECT_TRUE(cancelledByItself);
    EXPECT_FALSE(frame().Engine().HasControlConnection());
}

TEST_F(MainFrameTest, RefusedCommandShowsTheInformationDialog) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, ServerKind::Pyftpdlib);
    settings().WriteInt(u"Advance", u"ShowLoginMsg", 0);
    QuickConnect(*server, {}, {});
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
    QString caption;
    QString details;
    HandleNextModal([&](QWidget* modal) {
        caption = modal->windowTitle();
        for (QPushButton* button : modal->findChildren<QPushButton*>()) {
            if (button->text().startsWith(u"Details"_s)) {
                button->click();
            }
        }
        QTest::qWait(50);
        for (QTextEdit* box : modal->findChildren<QTextEdit*>()) {
            details += box->toPlainText();
        }
        SaveScreenshot(*modal, u"dialog-information-refused-command"_s);
        qobject_cast<QDialog*>(modal)->reject();
    });
    ASSERT_TRUE(frame().Engine().SendCommands({"SITE NOSUCHTHING"}));
    ASSERT_TRUE(pumpEventsUntil([&] { return !caption.isEmpty(); }, 10000)) << qPrintable(LogText());
    EXPECT_EQ(caption, u"Information"_s);
    EXPECT_TRUE(details.contains(u"Command:>SITE NOSUCHTHING"_s)) << qPrintable(details);
}

} // namespace
} // namespace tessaly::test
