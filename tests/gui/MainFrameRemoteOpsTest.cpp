// Changes on a real server from the remote pane of the main window: a directory made by New
// directory, renamed in place, its permissions changed by Properties and deleted with its tree, each
// seen in the listing that follows.
#include "GuiSupport.h"
#include "MainFrameFixture.h"
#include "panes/RemoteListCtrl.h"
#include "panes/RemoteView.h"
#include "support/EventPump.h"
#include "ui/CommandIds.h"
#include "ui/GeneralProp.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

class MainFrameRemoteOpsTest : public MainFrameTransferTest {
protected:
    void SelectRemote(const QString& name) {
        const int row = int(RemoteNames().indexOf(name));
        ASSERT_GE(row, 0) << qPrintable(name) << " in " << qPrintable(RemoteNames().join(u','));
        QTreeView& list = RemoteList();
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                          list.visualRect(list.model()->index(row, 0)).center());
    }

    // Types the name into the label being edited and presses Enter.
    void TypeName(const QString& name) {
        QLineEdit* editor = nullptr;
        ASSERT_TRUE(pumpEventsUntil(
            [&] { return (editor = RemoteList().viewport()->findChild<QLineEdit*>()) != nullptr; }, 3000));
        editor->setText(name);
        QTest::keyClick(editor, Qt::Key_Return);
    }

    QString Permission(const QString& name) {
        const int row = int(RemoteNames().indexOf(name));
        return row < 0 ? QString()
                       : RemoteList().model()->index(row, kRemotePermissionColumn).data().toString();
    }
};

TEST_F(MainFrameRemoteOpsTest, MakeRenameChangeAndDeleteADirectoryTree) {
    RemoteList().setFocus(); // the remote pane is the active one
    TriggerWhenEnabled(cmd::kNewDirectory);
    TypeName(u"made"_s);
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    ASSERT_TRUE(pumpEventsUntil([&] { return RemoteNames().contains(u"made"_s); }, 5000))
        << qPrintable(LogText());
    EXPECT_TRUE(QFileInfo(ServerPath(u"made"_s)).isDir());

    // A tree below it, for the delete.
    ASSERT_TRUE(QDir().mkpath(ServerPath(u"made/sub/deeper"_s)));
    ASSERT_TRUE(WriteAll(ServerPath(u"made/sub/file.txt"_s), "text\n"));

    SelectRemote(u"made"_s);
    TriggerWhenEnabled(cmd::kRename);
    TypeName(u"Made"_s); // a change of case alone
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    ASSERT_TRUE(pumpEventsUntil([&] { return RemoteNames().contains(u"Made"_s); }, 5000))
        << qPrintable(LogText());
    EXPECT_FALSE(RemoteNames().contains(u"made"_s));
    EXPECT_EQ(ReadAll(ServerPath(u"Made/sub/file.txt"_s)), "text\n");

    SelectRemote(u"Made"_s);
    HandleNextModal([](QWidget* modal) {
        auto* sheet = qobject_cast<CRemotePropertiesSheet*>(modal);
        ASSERT_NE(sheet, nullptr);
        sheet->findChild<QLineEdit*>(u"Name"_s)->setText(u"kept"_s);
        QLineEdit* number = sheet->findChild<QLineEdit*>(u"Permission"_s);
        number->selectAll();
        QTest::keyClicks(number, u"750"_s);
        sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    TriggerWhenEnabled(cmd::kProperties);
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    ASSERT_TRUE(pumpEventsUntil([&] { return RemoteNames().contains(u"kept"_s); }, 5000))
        << qPrintable(LogText());
    EXPECT_TRUE(Permission(u"kept"_s).startsWith(u"rwxr-x---"_s)) << qPrintable(Permission(u"kept"_s));

    SelectRemote(u"kept"_s);
    QString question;
    HandleNextModal([&](QWidget* modal) {
        question = ModalText(modal);
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click();
    });
    TriggerWhenEnabled(cmd::kDelete);
    ASSERT_TRUE(WaitForJobEnd()) << qPrintable(LogText());
    EXPECT_TRUE(question.startsWith(u"All selected files are will be deleted"_s));
    ASSERT_TRUE(pumpEventsUntil([&] { return !RemoteNames().contains(u"kept"_s); }, 5000))
        << qPrintable(LogText());
    EXPECT_FALSE(QFileInfo::exists(ServerPath(u"kept"_s)));
    EXPECT_TRUE(RemoteNames().contains(u"hello.txt"_s)); // the rest stays
}

// Change password asks three times and sends SITE PSWD, which this server refuses: the refusal is
// reported and the session goes on.
TEST_F(MainFrameRemoteOpsTest, ChangePasswordSendsSitePswd) {
    const auto type = [](const QString& text) {
        return [text](QWidget* modal) {
            modal->findChild<QLineEdit*>(u"Password"_s)->setText(text);
            qobject_cast<QDialog*>(modal)->accept();
        };
    };
    QString report;
    ModalScript script({{u"Old Password"_s, type(u"old\"pw"_s)},
                        {u"New Password"_s, type(u"new"_s)},
                        {u"Verify Password"_s, type(u"new"_s)},
                        {u"Information"_s, [&](QWidget* modal) {
                             report = ModalText(modal);
                             qobject_cast<QDialog*>(modal)->accept();
                         }}});
    TriggerWhenEnabled(cmd::kChangePassword);
    ASSERT_TRUE(pumpEventsUntil([&] { return script.Done() == 4; }, 10000)) << qPrintable(LogText());
    EXPECT_TRUE(report.contains(u"failed"_s)) << qPrintable(report);
    EXPECT_TRUE(LogText().contains(u"SITE PSWD"_s)) << qPrintable(LogText());
    ASSERT_TRUE(WaitForJobEnd());
    EXPECT_TRUE(frame().IsCommandEnabled(cmd::kChangePassword));
    frame().Engine().Disconnect();
    ASSERT_TRUE(pumpEventsUntil([&] { return !frame().RemoteView().IsPaneEnabled(); }, 5000));
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kChangePassword));
}

} // namespace
} // namespace tessaly::test
