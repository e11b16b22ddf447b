#include "gui/GuiSupport.h"
#include "settings/SettingsStore.h"
#include "ui/AboutDialog.h"
#include "ui/FailedCommandsDialog.h"
#include "ui/LoginDialog.h"
#include "ui/MessageBoxes.h"
#include "ui/ServerInfoDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

QPushButton* Button(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// The dialog's line edits from top to bottom: host, user name, password.
QList<QLineEdit*> Fields(QWidget& dialog) {
    QList<QLineEdit*> fields = dialog.findChildren<QLineEdit*>();
    std::sort(fields.begin(), fields.end(), [](QLineEdit* a, QLineEdit* b) { return a->y() < b->y(); });
    return fields;
}

class LoginDialogTest : public ::testing::Test {
protected:
    LoginDialogTest() : settings_(dir_.filePath(u"tessaly.INI"_s)) {}

    static LoginRequest Request(bool noSavedSite = true) {
        LoginRequest request;
        request.host = "ftp.example.org";
        request.userName = "alice";
        request.savePassword = true;
        request.noSavedSite = noSavedSite;
        return request;
    }

    QTemporaryDir dir_;
    SettingsStore settings_;
};

TEST_F(LoginDialogTest, OpensWithTheRequestAndEditsIntoTheResult) {
    LoginDialog dialog(Request(false), settings_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), u"Login"_s);
    const QList<QLineEdit*> fields = Fields(dialog);
    ASSERT_EQ(fields.size(), 3);
    QLineEdit* host = fields[0];
    QLineEdit* user = fields[1];
    QLineEdit* password = fields[2];
    EXPECT_EQ(host->text(), u"ftp.example.org"_s);
    EXPECT_TRUE(host->isReadOnly());
    EXPECT_EQ(user->text(), u"alice"_s);
    EXPECT_TRUE(password->text().isEmpty());
    EXPECT_EQ(password->echoMode(), QLineEdit::Password);
    QCheckBox* save = dialog.findChild<QCheckBox*>();
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->text(), u"&Save Password"_s);
    EXPECT_TRUE(save->isEnabled());
    EXPECT_TRUE(save->isChecked());
    QPushButton* ok = Button(dialog, u"&OK"_s);
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());

    // OK follows the user name on every change.
    user->selectAll();
    QTest::keyClick(user, Qt::Key_Backspace);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(user, u"b"_s);
    QTest::sendKeyEvent(QTest::Click, user, Qt::Key_Odiaeresis, u"\u00f6"_s, Qt::NoModifier);
    QTest::keyClicks(user, u"b"_s);
    EXPECT_TRUE(ok->isEnabled());
    QTest::keyClicks(password, u"s3cret"_s);
    QTest::mouseClick(save, Qt::LeftButton, {}, QPoint(8, save->height() / 2));
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const LoginRequest result = dialog.Result();
    EXPECT_EQ(result.host, "ftp.example.org");
    EXPECT_EQ(result.userName, "b\xc3\xb6"
                               "b");
    EXPECT_EQ(result.password, "s3cret");
    EXPECT_FALSE(result.savePassword);
    EXPECT_FALSE(result.noSavedSite);
}

TEST_F(LoginDialogTest, SettingsAndTheRequestLockFields) {
    {
        LoginRequest request = Request(true);
        request.userName.clear();
        LoginDialog dialog(request, settings_);
        EXPECT_FALSE(Button(dialog, u"&OK"_s)->isEnabled()) << "no user name";
        EXPECT_TRUE(Fields(dialog)[1]->isEnabled());
        QCheckBox* save = dialog.findChild<QCheckBox*>();
        EXPECT_FALSE(save->isEnabled());
        EXPECT_FALSE(save->isChecked()) << "forced off without a saved site";
        EXPECT_FALSE(dialog.Result().savePassword);
    }
    ASSERT_TRUE(settings_.WriteInt(u"General", u"CanChangeName", 0));
    LoginRequest request = Request(false);
    request.userName = "caf\xe9"; // Latin-1 bytes from the server's side, not UTF-8
    LoginDialog dialog(request, settings_);
    EXPECT_FALSE(Fields(dialog)[1]->isEnabled());
    EXPECT_EQ(dialog.Result().userName, request.userName) << "an unedited name keeps its bytes";
}

TEST_F(LoginDialogTest, CountsDownOnCancelAndCancelsAtZero) {
    ASSERT_TRUE(settings_.WriteInt(u"General", u"PassWaitTime", 2));
    LoginDialog dialog(Request(), settings_);
    QPushButton* cancel = Button(dialog, u"Cancel"_s);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(dialog.SecondsLeft(), 2);
    QString afterOneSecond;
    QTimer::singleShot(1500, &dialog, [&] { afterOneSecond = cancel->text(); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_EQ(afterOneSecond, u"Cancel = 1"_s);
    EXPECT_EQ(cancel->text(), u"Cancel = 0"_s);
    EXPECT_EQ(dialog.SecondsLeft(), 0);
    QTest::qWait(1100);
    EXPECT_EQ(dialog.SecondsLeft(), 0) << "the count stopped with the dialog";
}

TEST_F(LoginDialogTest, NoWaitTimeMeansNoCountdown) {
    for (int seconds : {0, -5}) {
        ASSERT_TRUE(settings_.WriteInt(u"General", u"PassWaitTime", seconds));
        LoginDialog dialog(Request(), settings_);
        QPushButton* cancel = Button(dialog, u"Cancel"_s);
        ASSERT_NE(cancel, nullptr);
        bool stillOpen = false;
        QTimer::singleShot(1300, &dialog, [&] {
            stillOpen = dialog.isVisible();
            QTest::mouseClick(cancel, Qt::LeftButton);
        });
        EXPECT_EQ(dialog.exec(), QDialog::Rejected);
        EXPECT_TRUE(stillOpen) << seconds;
        EXPECT_EQ(cancel->text(), u"Cancel"_s);
    }
}

TEST_F(LoginDialogTest, Screenshot) {
    LoginDialog dialog(Request(false), settings_);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::qWait(1100); // one tick of the countdown
    EXPECT_FALSE(test::SaveScreenshot(dialog, u"login_dialog"_s).isEmpty());
}

std::vector<FailureRecord> SomeFailures() {
    return {
        {FailureRecord::Kind::Command, "MKD incoming\r\n"},
        {FailureRecord::Kind::Reply, "550 Permission denied.\r\n"},
        {FailureRecord::Kind::Command, "SITE CHMOD 755 a"},
        {FailureRecord::Kind::Reply, "500-Unknown SITE command.\r\n\r\n500 Try HELP\n\r"},
    };
}

TEST(FailedCommandsDialogTest, DetailsListEveryLineInItsColour) {
    FailedCommandsDialog dialog(SomeFailures());
    EXPECT_EQ(dialog.windowTitle(), u"Information"_s);
    auto* details = dialog.findChild<QTextEdit*>();
    ASSERT_NE(details, nullptr);
    EXPECT_TRUE(details->isReadOnly());
    EXPECT_EQ(details->toPlainText(), u"Command:>MKD incoming\n"
                                      "         550 Permission denied.\n"
                                      "Command:>SITE CHMOD 755 a\n"
                                      "         500-Unknown SITE command.\n"
                                      "         500 Try HELP"_s);
    const QList<QColor> colours = {QColor(0, 128, 0), QColor(255, 0, 0), QColor(0, 128, 0), QColor(255, 0, 0),
                                   QColor(255, 0, 0)};
    QTextBlock block = details->document()->firstBlock();
    for (const QColor& colour : colours) {
        ASSERT_TRUE(block.isValid());
        const QTextCharFormat format = block.begin().fragment().charFormat();
        EXPECT_EQ(format.foreground().color(), colour) << block.text().toStdString();
        // The size asked for, not the one the installed fonts happen to match it with.
        EXPECT_EQ(format.fontPointSize(), 8);
        block = block.next();
    }
}

TEST(FailedCommandsDialogTest, DetailsToggleAndTheDialogGrowsAndShrinks) {
    FailedCommandsDialog dialog(SomeFailures());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_NE(dialog.findChild<QLabel*>(), nullptr);
    auto* details = dialog.findChild<QTextEdit*>();
    QPushButton* toggle = Button(dialog, u"Details>>"_s);
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(Button(dialog, u"&Close"_s)->isDefault());
    EXPECT_FALSE(details->isVisible());
    const int closedHeight = dialog.height();

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_TRUE(details->isVisible());
    EXPECT_GT(dialog.height(), closedHeight + 100);
    test::SaveScreenshot(dialog, u"failed_commands_dialog"_s);

    QTest::mouseClick(toggle, Qt::LeftButton);
    EXPECT_FALSE(details->isVisible());
    EXPECT_EQ(dialog.height(), closedHeight);
    test::SaveScreenshot(dialog, u"failed_commands_dialog_closed"_s);

    QTest::mouseClick(Button(dialog, u"&Close"_s), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(ServerInfoDialogTest, OneMessageShowsWithoutStepping) {
    ServerInfoDialog dialog({QByteArray("220-Welcome to\r\n220-  the \xff archive\r\n220 ready\r\n")});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), u"Server Information"_s);
    auto* label = dialog.findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), u"FTP Server Information: "_s);
    auto* text = dialog.findChild<QPlainTextEdit*>();
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), u"220-Welcome to\n220-  the \ufffd archive\n220 ready"_s);
    // The columns line up: narrow and wide letters take the same room. (How a font reports its pitch
    // depends on the fonts installed, not on what is drawn.)
    const QFontMetricsF metrics(text->font());
    EXPECT_EQ(metrics.horizontalAdvance(u"iiiiiiiiii"_s), metrics.horizontalAdvance(u"WWWWWWWWWW"_s));
    EXPECT_FALSE(Button(dialog, u"&Back"_s)->isVisible());
    EXPECT_FALSE(Button(dialog, u"&Next"_s)->isVisible());
    QPushButton* ok = Button(dialog, u"&OK"_s);
    EXPECT_TRUE(ok->isDefault());
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ServerInfoDialogTest, BackAndNextStepThroughSeveralMessages) {
    ServerInfoDialog dialog({"first", "second\r\n", "third"});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* text = dialog.findChild<QPlainTextEdit*>();
    QPushButton* back = Button(dialog, u"&Back"_s);
    QPushButton* next = Button(dialog, u"&Next"_s);
    ASSERT_TRUE(back->isVisible() && next->isVisible());

    const auto expect = [&](const QString& shown, bool backEnabled, bool nextEnabled) {
        EXPECT_EQ(text->toPlainText(), shown);
        EXPECT_EQ(back->isEnabled(), backEnabled) << shown.toStdString();
        EXPECT_EQ(next->isEnabled(), nextEnabled) << shown.toStdString();
    };
    expect(u"first"_s, false, true);
    QTest::mouseClick(next, Qt::LeftButton);
    expect(u"second"_s, true, true);
    QTest::mouseClick(next, Qt::LeftButton);
    expect(u"third"_s, true, false);
    QTest::mouseClick(back, Qt::LeftButton);
    expect(u"second"_s, true, true);
    QTest::mouseClick(back, Qt::LeftButton);
    expect(u"first"_s, false, true);
}

TEST(ServerInfoDialogTest, Screenshot) {
    const QByteArray banner = "220-  _____                    _\r\n"
                              "220- |_   _|__  ___ ___  __ _| |_   _\r\n"
                              "220-   | |/ _ \\/ __/ __|/ _` | | | | |\r\n"
                              "220-   | |  __/\\__ \\__ \\ (_| | | |_| |\r\n"
                              "220-   |_|\\___||___/___/\\__,_|_|\\__, |\r\n"
                              "220-                            |___/\r\n"
                              "220 Welcome to the Tessaly test archive.\r\n";
    ServerInfoDialog dialog({banner, "250 Directory changed."});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(test::SaveScreenshot(dialog, u"server_info_dialog"_s).isEmpty());
}

// Catches the URLs the desktop would be asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.append(url); }
};

TEST(AboutDialogTest, ShowsTheProgramAndOpensItsLinks) {
    AboutDialog dialog;
    EXPECT_TRUE(dialog.isModal());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QStringList texts;
    QList<QLabel*> links;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        texts.append(label->text());
        if (label->text().startsWith(u"<a "_s)) {
            links.append(label);
        }
    }
    EXPECT_TRUE(texts.contains(u"Tessaly Client"_s));
    const QString version = QCoreApplication::applicationVersion().isEmpty()
                                ? u"0.1.0"_s
                                : QCoreApplication::applicationVersion();
    EXPECT_TRUE(texts.contains(u"Version "_s + version)) << texts.join(u'|').toStdString();
    auto* thanks = dialog.findChild<QPlainTextEdit*>();
    ASSERT_NE(thanks, nullptr);
    EXPECT_TRUE(thanks->isReadOnly());
    EXPECT_TRUE(thanks->toPlainText().contains(u"Qt"_s));
    EXPECT_TRUE(thanks->toPlainText().contains(u"GoogleTest"_s));
    EXPECT_FALSE(test::SaveScreenshot(dialog, u"about_dialog"_s).isEmpty());

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(u"https"_s, &catcher, "open");
    QDesktopServices::setUrlHandler(u"mailto"_s, &catcher, "open");
    ASSERT_EQ(links.size(), 2);
    std::sort(links.begin(), links.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
    for (QLabel* link : links) {
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(4, link->height() / 2));
    }
    QDesktopServices::unsetUrlHandler(u"https"_s);
    QDesktopServices::unsetUrlHandler(u"mailto"_s);
    EXPECT_EQ(catcher.opened, (QList<QUrl>{QUrl(u"https://tessaly.example.org/"_s),
                                           QUrl(u"mailto:support@tessaly.example.org"_s)}));

    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(MessageBoxesTest, AskYesNoDefaultsToNo) {
    struct Case {
        const char* name;
        std::function<void(QMessageBox*)> answer;
        bool expected;
    };
    const std::vector<Case> cases = {
        {"Yes", [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); }, true},
        {"No", [](QMessageBox* box) { box->button(QMessageBox::No)->click(); }, false},
        {"Return", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, false},
        {"Escape", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, false},
    };
    for (const Case& c : cases) {
        test::HandleNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), u"Tessaly Client"_s);
            EXPECT_EQ(box->icon(), QMessageBox::Question);
            EXPECT_EQ(box->text(), u"Delete it?"_s);
            if (std::string(c.name) == "Yes") {
                test::SaveScreenshot(*box, u"ask_yes_no"_s);
            }
            c.answer(box);
        });
        EXPECT_EQ(AskYesNo(nullptr, u"Delete it?"_s), c.expected) << c.name;
    }
}

TEST(MessageBoxesTest, StopAndWarningShowTheirIcons) {
    for (const auto icon : {QMessageBox::Critical, QMessageBox::Warning}) {
        QMessageBox::Icon seen = QMessageBox::NoIcon;
        QString text;
        test::HandleNextModal([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            seen = box->icon();
            text = box->text();
            EXPECT_EQ(box->windowTitle(), u"Tessaly Client"_s);
            box->button(QMessageBox::Ok)->click();
        });
        if (icon == QMessageBox::Critical) {
            ShowStopMessage(nullptr, u"Stopped."_s);
        } else {
            ShowWarning(nullptr, u"Careful."_s);
        }
        EXPECT_EQ(seen, icon);
        EXPECT_EQ(text, icon == QMessageBox::Critical ? u"Stopped."_s : u"Careful."_s);
    }
}

} // namespace
} // namespace tessaly

#include "SessionDialogsTest.moc"
