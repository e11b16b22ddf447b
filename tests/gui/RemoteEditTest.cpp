// The remote pane's changes on the server, against a recording host: names edited in place
// (Rename and New directory), Delete and its question, and the properties sheet.
#include "GuiSupport.h"
#include "RemoteViewFixture.h"
#include "ui/CommandIds.h"
#include "ui/GeneralProp.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace tessaly {
namespace {

namespace remote = cmd::remote;
using namespace Qt::StringLiterals;

class RemoteEditTest : public test::RemoteViewTest {
protected:
    // The editor of the name being edited.
    QLineEdit* Editor() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // editors closed before
        return view_.List().viewport()->findChild<QLineEdit*>();
    }

    // Types text over the edited name and ends the edit with key; returns what the host was sent.
    QList<QByteArray> FinishEdit(const QString& text, Qt::Key key) {
        QLineEdit* editor = Editor();
        EXPECT_NE(editor, nullptr);
        if (editor != nullptr) {
            editor->setText(text);
            QTest::keyClick(editor, key);
        }
        // The delegate closes the editor on a posted call, and the pane sends on another.
        for (int turn = 0; turn < 3; ++turn) {
            QApplication::processEvents();
        }
        return std::exchange(host_.sent, {});
    }
};

TEST_F(RemoteEditTest, RenameAndNewDirectoryByEditingTheName) {
    struct Case {
        const char* what;
        int command; // Rename of "Zeta.txt", or New directory
        QString typed;
        Qt::Key key;
        QList<QByteArray> sent;
    };
    const Case cases[] = {
        {"case alone changes",
         remote::kRename,
         u"zeta.txt"_s,
         Qt::Key_Return,
         {"RNFR Zeta.txt RNTO zeta.txt"}},
        {"unchanged", remote::kRename, u"Zeta.txt"_s, Qt::Key_Return, {}},
        {"emptied", remote::kRename, QString(), Qt::Key_Return, {}},
        {"Esc", remote::kRename, u"other"_s, Qt::Key_Escape, {}},
        {"line end as typed", remote::kRename, u"a\r\nb"_s, Qt::Key_Return, {"RNFR Zeta.txt RNTO a\r\nb"}},
        {"new directory", remote::kNewDirectory, u"Ünïcode dir"_s, Qt::Key_Return, {"MKD Ünïcode dir"}},
        {"new directory empty", remote::kNewDirectory, QString(), Qt::Key_Return, {}},
        {"new directory Esc", remote::kNewDirectory, u"docs"_s, Qt::Key_Escape, {}},
    };
    Show("/", test::kListing);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Select(u"Zeta.txt"_s);
        if (c.command == remote::kRename) {
            QTest::keyClick(&view_.List(), Qt::Key_F2); // as the command does
        } else {
            ASSERT_TRUE(view_.IsCommandEnabled(c.command));
            view_.RunCommand(c.command);
            EXPECT_EQ(Model().rowCount(), 7);
            EXPECT_EQ(Model().DisplayName(6), QString());
        }
        // While a name is edited nothing else is renamed, created or deleted.
        EXPECT_FALSE(view_.IsCommandEnabled(remote::kRename));
        EXPECT_FALSE(view_.IsCommandEnabled(remote::kNewDirectory));
        EXPECT_FALSE(view_.IsCommandEnabled(remote::kDelete));
        EXPECT_EQ(FinishEdit(c.typed, c.key), c.sent);
        EXPECT_EQ(Model().rowCount(), 6); // the new-directory row is gone whatever the end
        EXPECT_TRUE(view_.IsCommandEnabled(remote::kNewDirectory));
    }
}

// A name that is not UTF-8 shows replacement characters: left alone it is not renamed, and a
// rename sends its own bytes.
TEST_F(RemoteEditTest, ANameThatIsNotUtf8IsRenamedByItsBytes) {
    Show("/", "-rw-r--r-- 1 a b 1 Jan  1  2000 caf\xe9.txt\r\n");
    const QString shown = Model().DisplayName(0);
    Select(shown);
    view_.RunCommand(remote::kRename);
    EXPECT_EQ(FinishEdit(shown, Qt::Key_Return), QList<QByteArray>());
    view_.RunCommand(remote::kRename);
    EXPECT_EQ(FinishEdit(u"cafe.txt"_s, Qt::Key_Return), QList<QByteArray>{"RNFR caf\xe9.txt RNTO cafe.txt"});
}

TEST_F(RemoteEditTest, ChangesNeedAnIdleSessionAndAnEnabledPane) {
    Show("/", test::kListing);
    Select(u"pub"_s);
    const int commands[] = {remote::kDelete, remote::kRename, remote::kNewDirectory, remote::kProperties};
    for (const int id : commands) {
        EXPECT_TRUE(view_.IsCommandEnabled(id)) << id;
    }
    host_.mayAct = false;
    for (const int id : commands) {
        EXPECT_FALSE(view_.IsCommandEnabled(id)) << id;
    }
    host_.mayAct = true;
    view_.SetPaneEnabled(false);
    for (const int id : commands) {
        EXPECT_FALSE(view_.IsCommandEnabled(id)) << id;
    }
    view_.SetPaneEnabled(true);
    // Rename and Properties take exactly one row; Delete any; New directory none.
    view_.List().selectAll();
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kRename));
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kProperties));
    EXPECT_TRUE(view_.IsCommandEnabled(remote::kDelete));
    view_.List().clearSelection();
    EXPECT_FALSE(view_.IsCommandEnabled(remote::kDelete));
    EXPECT_TRUE(view_.IsCommandEnabled(remote::kNewDirectory));
}

TEST_F(RemoteEditTest, DeleteAsksUnlessToldNotTo) {
    Show("/", test::kListing);
    view_.List().selectAll();
    const QList<QByteArray> all = {"DELETE Debian incoming pub alpha.pdf archive.tar.gz Zeta.txt"};
    struct Case {
        int prompt; // PromptOnDeleteRemoteFiles
        QMessageBox::StandardButton answer;
        QList<QByteArray> sent;
    };
    for (const Case& c : {Case{1, QMessageBox::No, {}}, Case{1, QMessageBox::Yes, all}, Case{0, {}, all}}) {
        settings_.WriteInt(u"UserPrompt", u"PromptOnDeleteRemoteFiles", c.prompt);
        bool asked = false;
        if (c.prompt != 0) {
            test::HandleNextModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                asked = true;
                EXPECT_EQ(box->text(),
                          u"All selected files are will be deleted, if deleted you cannot restore it. "
                          u"sre you want to delete it now?"_s);
                EXPECT_EQ(box->icon(), QMessageBox::Question);
                EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
                box->button(c.answer)->click();
            });
        }
        QTest::keyClick(&view_.List(), Qt::Key_Delete);
        EXPECT_EQ(asked, c.prompt != 0);
        EXPECT_EQ(std::exchange(host_.sent, {}), c.sent);
    }
}

// The sheet shows the item; OK sends a rename and the permission change together, and nothing
// when nothing changed. Items of MS-DOS listings have no permissions to change.
TEST_F(RemoteEditTest, PropertiesSheetShowsTheItemAndSendsItsChanges) {
    Show("/pub", test::kListing);
    struct Case {
        QByteArray listing;
        QString name;
        std::function<void(CRemotePropertiesSheet&)> change;
        QList<QByteArray> sent;
    };
    const auto rename = [](CRemotePropertiesSheet& sheet) {
        sheet.findChild<QLineEdit*>(u"Name"_s)->setText(u"in"_s);
        sheet.findChild<QCheckBox*>(u"OtherRead"_s)->click();
    };
    const Case cases[] = {
        {test::kListing, u"incoming"_s, rename, {"PROPS incoming in 750 754"}},
        {test::kListing, u"incoming"_s, [](CRemotePropertiesSheet&) {}, {}},
        {"05-12-03  12:30PM       <DIR>          pub\r\n", u"pub"_s, rename, {"PROPS pub in -1 -1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        Show("/pub", c.listing);
        Select(c.name);
        const bool dos = c.listing != test::kListing;
        test::HandleNextModal([&](QWidget* modal) {
            auto* sheet = qobject_cast<CRemotePropertiesSheet*>(modal);
            ASSERT_NE(sheet, nullptr);
            EXPECT_EQ(sheet->windowTitle(), u"Options"_s);
            QStringList fields;
            for (const QLineEdit* field : sheet->findChildren<QLineEdit*>()) {
                if (field->isVisibleTo(sheet)) {
                    fields.append(field->text());
                }
            }
            if (dos) {
                EXPECT_TRUE(fields.contains(u"0 byte"_s));
                EXPECT_FALSE(sheet->findChild<QLineEdit*>(u"Permission"_s)->isVisibleTo(sheet));
                EXPECT_FALSE(sheet->findChild<QCheckBox*>(u"OwnerRead"_s)->isEnabled());
            } else {
                EXPECT_TRUE(fields.contains(u"ftp://ftp.example.org/pub/incoming"_s))
                    << fields.join(u'|').toStdString();
                EXPECT_TRUE(fields.contains(u"512 byte"_s));
                EXPECT_TRUE(fields.contains(u"750"_s));
                EXPECT_FALSE(sheet->findChild<QLabel*>(u"Modified"_s)->text().isEmpty());
                test::SaveScreenshot(*sheet, u"remote-properties"_s);
            }
            c.change(*sheet);
            sheet->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        ASSERT_TRUE(view_.IsCommandEnabled(remote::kProperties));
        view_.RunCommand(remote::kProperties);
        EXPECT_EQ(std::exchange(host_.sent, {}), c.sent);
    }
}

} // namespace
} // namespace tessaly
