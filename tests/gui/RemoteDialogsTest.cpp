// The general page of a remote item's properties and the password prompts, driven offscreen.
#include "GuiSupport.h"
#include "ui/GeneralProp.h"
#include "ui/PasswordPromptDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

constexpr const char16_t* kBoxNames[] = {u"OwnerRead", u"OwnerWrite", u"OwnerExecute",
                                         u"GroupRead", u"GroupWrite", u"GroupExecute",
                                         u"OtherRead", u"OtherWrite", u"OtherExecute"};

// The bits the nine boxes show.
int BoxBits(QWidget& page) {
    int bits = 0;
    for (int place = 0; place < 9; ++place) {
        if (page.findChild<QCheckBox*>(QString::fromUtf16(kBoxNames[place]))->isChecked()) {
            bits |= 0400 >> place;
        }
    }
    return bits;
}

// Whether the page may be left, and the message that said why not (empty when none came).
std::pair<bool, QString> TryLeave(CGeneralProp& page) {
    QString message;
    QTimer poll; // ends with the call, so no answer is left waiting for a later message
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            message = box->text();
            box->accept();
        }
    });
    poll.start(10);
    const bool left = page.CanLeave();
    return {left, message};
}

RemoteItemFacts Facts(QByteArrayView permissions, bool editable = true) {
    RemoteItemFacts facts;
    facts.name = "report.txt";
    facts.mode = ModeFromPermissionText(permissions);
    facts.permissionsEditable = editable;
    return facts;
}

TEST(GeneralPropTest, PermissionTextReadsEachPlace) {
    const std::pair<QByteArrayView, int> cases[] = {
        {"rw-r--r--", 0644},
        {"rwxr-xr-x", 0755},
        {"rwsr-sr-t", 0755},
        {"rwSr-Sr-T", 0644},
        {"rwxrwxrwx+", 0777},
        {"rw-", 0600},
        {"", 0},
        {"w-rr?????", 040},
    };
    for (const auto& [text, mode] : cases) {
        EXPECT_EQ(ModeFromPermissionText(text), mode) << text.toByteArray().constData();
    }
}

// Typing a number sets the boxes digit by digit (8 and 9 clear their class, out of range clears
// all); leaving takes only three octal digits.
TEST(GeneralPropTest, TypedNumbersSetTheBoxesAndOnlyOctalOnesMayLeave) {
    struct Case {
        QString typed;
        int boxes;
        bool leaves;
    };
    const Case cases[] = {
        {u"644"_s, 0644, true},  {u"7"_s, 07, true},    {u"0"_s, 0, true},       {u"777"_s, 0777, true},
        {u"708"_s, 0700, false}, {u"78"_s, 070, false}, {u"1000"_s, 0, false},   {u"-1"_s, 0, false},
        {QString(), 0, false},   {u"99"_s, 0, false},   {u"0755"_s, 0755, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        CGeneralProp page(Facts("rw-r--r--"));
        EXPECT_EQ(BoxBits(page), 0644);
        auto* number = page.findChild<QLineEdit*>(u"Permission"_s);
        EXPECT_EQ(number->text(), u"644"_s);
        number->selectAll();
        QTest::keyClick(number, Qt::Key_Backspace);
        QTest::keyClicks(number, c.typed);
        EXPECT_EQ(number->text(), c.typed); // the number stays as typed
        EXPECT_EQ(BoxBits(page), c.boxes);
        const auto [left, message] = TryLeave(page);
        EXPECT_EQ(left, c.leaves);
        EXPECT_EQ(message.isEmpty(), c.leaves) << message.toStdString();
        if (c.leaves) {
            EXPECT_EQ(page.Mode(), c.boxes);
            EXPECT_EQ(page.InitialMode(), 0644);
        }
    }
}

TEST(GeneralPropTest, BoxesAndAllButtonsWriteTheNumber) {
    CGeneralProp page(Facts("r--------"));
    auto* number = page.findChild<QLineEdit*>(u"Permission"_s);
    const auto click = [&](const QString& text) {
        for (QPushButton* button : page.findChildren<QPushButton*>()) {
            if (button->text() == text) {
                button->click();
            }
        }
    };
    click(u"Read All"_s); // owner read was set: only 044 comes
    EXPECT_EQ(number->text(), u"444"_s);
    click(u"Write All"_s);
    EXPECT_EQ(number->text(), u"666"_s);
    page.findChild<QCheckBox*>(u"GroupWrite"_s)->click();
    EXPECT_EQ(number->text(), u"646"_s);
    click(u"Execute All"_s);
    EXPECT_EQ(number->text(), u"757"_s);
    EXPECT_EQ(BoxBits(page), 0757);
    EXPECT_EQ(page.Mode(), 0757);
}

TEST(GeneralPropTest, AnEmptyNameMayNotLeaveAndAnUnchangedOneKeepsItsBytes) {
    RemoteItemFacts facts = Facts("rw-r--r--");
    facts.name = "caf\xe9";
    CGeneralProp page(facts);
    auto* name = page.findChild<QLineEdit*>(u"Name"_s);
    EXPECT_EQ(page.Name(), "caf\xe9");
    name->clear();
    EXPECT_EQ(TryLeave(page), std::make_pair(false, u"You must input remote file title!"_s));
    name->setText(u"Café"_s);
    EXPECT_EQ(TryLeave(page), std::make_pair(true, QString()));
    EXPECT_EQ(page.Name(), "Caf\xc3\xa9");
}

TEST(GeneralPropTest, MsDosItemsOfferNoPermissions) {
    CGeneralProp page(Facts("", false));
    page.show();
    EXPECT_FALSE(page.findChild<QLineEdit*>(u"Permission"_s)->isVisible());
    for (const char16_t* box : kBoxNames) {
        EXPECT_FALSE(page.findChild<QCheckBox*>(QString::fromUtf16(box))->isEnabled());
    }
    for (QPushButton* button : page.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isVisible()) << button->text().toStdString();
    }
    EXPECT_EQ(page.Mode(), -1);
    EXPECT_EQ(page.InitialMode(), -1);
    EXPECT_EQ(TryLeave(page), std::make_pair(true, QString()));
}

TEST(PasswordPromptTest, ThreePromptsAndTheVerification) {
    struct Case {
        const char* what;
        QString old, typedNew, verify; // a null typedNew keeps what the prompt opens with
        int cancelAt;                  // 0 to 2, or -1
        bool changed;
        QByteArray expectNew;
    };
    const Case cases[] = {
        {"typed", u"se\"cret"_s, u"n3w"_s, u"n3w"_s, -1, true, "n3w"},
        {"new kept from the old", u"secret"_s, QString(), u"secret"_s, -1, true, "secret"},
        {"verify differs in case", u"secret"_s, u"n3w"_s, u"N3W"_s, -1, false, {}},
        {"cancel old", u"a"_s, u"b"_s, u"b"_s, 0, false, {}},
        {"cancel new", u"a"_s, u"b"_s, u"b"_s, 1, false, {}},
        {"cancel verify", u"a"_s, u"b"_s, u"b"_s, 2, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QStringList opened; // what each prompt showed when it opened
        QString message;
        const auto answer = [&](int index, QString text) {
            return [&, index, text](QWidget* modal) {
                auto* prompt = qobject_cast<PasswordPromptDialog*>(modal);
                ASSERT_NE(prompt, nullptr);
                auto* box = prompt->findChild<QLineEdit*>(u"Password"_s);
                EXPECT_TRUE(box->isVisible());
                EXPECT_EQ(box->echoMode(), QLineEdit::Password);
                EXPECT_FALSE(prompt->findChild<QLineEdit*>(u"PlainText"_s)->isVisible());
                opened.append(box->text());
                QPushButton* ok = nullptr;
                for (QPushButton* button : prompt->findChildren<QPushButton*>()) {
                    if (button->text() == u"&OK"_s) {
                        ok = button;
                    }
                }
                ASSERT_NE(ok, nullptr);
                EXPECT_EQ(ok->isEnabled(), !box->text().isEmpty());
                if (index == 2 && c.cancelAt < 0) {
                    test::SaveScreenshot(*prompt, u"password-prompt"_s);
                }
                if (!text.isNull()) {
                    box->setText(text);
                }
                EXPECT_EQ(ok->isEnabled(), !box->text().isEmpty());
                if (index == c.cancelAt) {
                    prompt->reject();
                } else {
                    ok->click();
                }
            };
        };
        test::ModalScript script({{u"Old Password"_s, answer(0, c.old)},
                                  {u"New Password"_s, answer(1, c.typedNew)},
                                  {u"Verify Password"_s, answer(2, c.verify)},
                                  {u"Tessaly Client"_s, [&](QWidget* modal) {
                                       message = test::ModalText(modal);
                                       qobject_cast<QMessageBox*>(modal)->accept();
                                   }}});
        QByteArray oldPassword;
        QByteArray newPassword;
        EXPECT_EQ(AskPasswordChange(nullptr, oldPassword, newPassword), c.changed);
        const int prompts = c.cancelAt < 0 ? 3 : c.cancelAt + 1;
        ASSERT_EQ(opened.size(), prompts);
        EXPECT_EQ(opened[0], QString());
        if (prompts > 1) {
            EXPECT_EQ(opened[1], c.old); // the new password's prompt opens with the old one
        }
        if (prompts > 2) {
            EXPECT_EQ(opened[2], QString()); // the verification is always typed afresh
        }
        const bool mismatch = c.cancelAt < 0 && !c.changed;
        EXPECT_EQ(message, mismatch ? u"Invalid verify password!"_s : QString());
        if (c.changed) {
            EXPECT_EQ(oldPassword, c.old.toUtf8());
            EXPECT_EQ(newPassword, c.expectNew);
        }
    }
}

} // namespace
} // namespace tessaly
