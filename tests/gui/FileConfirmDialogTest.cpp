// The "File Confirmation" dialog driven as a user would: what it proposes, what it shows, its
// countdown, the choice buttons and the cancel question.
#include "transfer/ui/FileConfirmDialog.h"

#include "GuiSupport.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;

// Long enough that the timer never ticks by itself during a test; the tests tick by hand.
constexpr int kNoTicks = 600000;

// The button captioned text, also while the countdown runs on it ("Resume = 3").
QPushButton* Button(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text || button->text().startsWith(text + u" = "_s)) {
            return button;
        }
    }
    return nullptr;
}

QString Shown(QWidget& dialog, const char* name) {
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : u"<missing>"_s;
}

// A download of /pub/a.zip whose local copy holds `localSize` bytes.
ConflictQuestion Download(qint64 localSize, qint64 remoteSize, bool rest) {
    ConflictQuestion question;
    question.localName = u"/home/alice/dl/a.zip"_s;
    question.localSize = ConflictSizeText(localSize);
    question.localDate = u"2024-03-01 10:20:30"_s;
    question.remoteName = "ftp://ftp.example.org/pub/a.zip";
    question.remoteSize = ConflictSizeText(remoteSize);
    question.remoteDate = u"2023-12-24 08:00:00"_s;
    question.localSizeValue = localSize;
    question.remoteSizeValue = remoteSize;
    question.resumePossible = rest;
    return question;
}

ConflictQuestion Upload(qint64 localSize, qint64 remoteSize, bool rest) {
    ConflictQuestion question = Download(localSize, remoteSize, rest);
    question.upload = true;
    question.remoteDate.clear();
    return question;
}

TEST(FileConfirmDialogTest, ProposesTheDefaultAndFocusesIt) {
    struct Case {
        const char* name;
        ConflictQuestion question;
        QString proposed;
        bool resumeEnabled;
    };
    const std::vector<Case> cases = {
        {"equal sizes", Download(1000, 1000, true), u"Ignore"_s, false},
        {"local copy shorter", Download(400, 1000, true), u"Resume"_s, true},
        {"no REST, different", Download(400, 1000, false), u"Overwrite"_s, false},
        {"no REST, equal", Download(1000, 1000, false), u"Overwrite"_s, false},
        {"local copy longer", Download(2000, 1000, true), u"Overwrite"_s, false},
        {"upload, remote copy shorter", Upload(1000, 400, true), u"Resume"_s, true},
        {"upload, remote copy longer", Upload(1000, 2000, true), u"Overwrite"_s, false},
    };
    for (const Case& c : cases) {
        CFileConfirmDialog dialog(c.question, nullptr, kNoTicks);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog)) << c.name;
        QPushButton* proposed = Button(dialog, c.proposed);
        ASSERT_NE(proposed, nullptr) << c.name;
        EXPECT_EQ(dialog.DefaultButton(), proposed) << c.name;
        EXPECT_TRUE(proposed->isDefault()) << c.name;
        EXPECT_EQ(dialog.focusWidget(), proposed) << c.name;
        EXPECT_EQ(Button(dialog, u"Resume"_s)->isEnabled(), c.resumeEnabled) << c.name;
        EXPECT_TRUE(dialog.CountdownRunning()) << c.name;
    }
}

TEST(FileConfirmDialogTest, ShowsTheLocalFileAboveTheRemoteOne) {
    for (const bool upload : {false, true}) {
        ConflictQuestion question = upload ? Upload(1000, 400, true) : Download(400, 1000, true);
        if (!upload) {
            question.remoteDate = u"<Unknow>"_s; // a download by path
        }
        CFileConfirmDialog dialog(question, nullptr, kNoTicks);
        EXPECT_EQ(dialog.windowTitle(), u"File Confirmation"_s);
        EXPECT_EQ(Shown(dialog, "localName"), u"/home/alice/dl/a.zip"_s);
        EXPECT_EQ(Shown(dialog, "localSize"), upload ? u"1000 byte"_s : u"400 byte"_s);
        EXPECT_EQ(Shown(dialog, "localDate"), u"2024-03-01 10:20:30"_s);
        EXPECT_EQ(Shown(dialog, "remoteName"), u"ftp://ftp.example.org/pub/a.zip"_s);
        EXPECT_EQ(Shown(dialog, "remoteSize"), upload ? u"400 byte"_s : u"1000 byte"_s);
        EXPECT_EQ(Shown(dialog, "remoteDate"), upload ? QString() : u"<Unknow>"_s);

        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const auto top = [&](const char* name) {
            const QWidget* widget = dialog.findChild<QWidget*>(QString::fromLatin1(name));
            return widget->mapTo(&dialog, QPoint(0, 0)).y();
        };
        EXPECT_LT(top("localDate"), top("remoteName")) << "upload " << upload;
        for (const char* icon : {"localIcon", "remoteIcon"}) {
            const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(icon));
            ASSERT_NE(label, nullptr);
            EXPECT_FALSE(label->pixmap().isNull()) << icon;
        }
    }

    // Every fixed text, each once except the field names of the two blocks.
    CFileConfirmDialog dialog(Download(400, 1000, true), nullptr, kNoTicks);
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label->objectName().isEmpty() && !label->text().isEmpty()) {
            texts.append(label->text());
        }
    }
    texts.sort();
    EXPECT_EQ(texts, (QStringList{u"Date: "_s, u"Date: "_s, u"Destination already exist,details: "_s,
                                  u"File Name: "_s, u"File Name: "_s, u"Select Action: "_s, u"Size: "_s,
                                  u"Size: "_s}));
    for (const QString& caption : {u"Overwrite"_s, u"Resume"_s, u"Rename"_s, u"Ignore"_s, u"Cancel"_s}) {
        EXPECT_NE(Button(dialog, caption), nullptr) << caption.toStdString();
    }
    ASSERT_NE(dialog.findChild<QCheckBox*>(), nullptr);
    EXPECT_EQ(dialog.findChild<QCheckBox*>()->text(), u"Remember selection"_s);
    EXPECT_FALSE(dialog.findChild<QCheckBox*>()->isChecked());
}

TEST(FileConfirmDialogTest, ALongNameIsShortenedInTheMiddleAndKeptWholeInItsTooltip) {
    ConflictQuestion question = Download(400, 1000, true);
    question.remoteName = "ftp://ftp.example.org/" + QByteArray(300, 'd') + "/end.zip";
    CFileConfirmDialog dialog(question, nullptr, kNoTicks);
    const auto* name = dialog.findChild<QLabel*>(u"remoteName"_s);
    EXPECT_TRUE(name->text().startsWith(u"ftp://ftp.example.org/"_s)) << name->text().toStdString();
    EXPECT_TRUE(name->text().endsWith(u"/end.zip"_s)) << name->text().toStdString();
    EXPECT_EQ(name->toolTip(), QString::fromUtf8(question.remoteName));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_LT(dialog.width(), 1000);
}

TEST(FileConfirmDialogTest, CountsOnTheDefaultButtonAndPressesIt) {
    CFileConfirmDialog dialog(Download(400, 1000, true), nullptr, kNoTicks);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.findChild<QCheckBox*>()->setChecked(true);
    QStringList captions;
    for (int tick = 1; tick <= CFileConfirmDialog::kLastCount + 1; ++tick) {
        dialog.Tick();
        captions.append(dialog.DefaultButton()->text());
    }
    EXPECT_EQ(captions.first(), u"Resume"_s);
    EXPECT_EQ(captions[1], u"Resume = 1"_s);
    EXPECT_EQ(captions[9], u"Resume = 9"_s);
    EXPECT_EQ(captions.last(), u"Resume = 10"_s);
    EXPECT_TRUE(dialog.isVisible()) << "the press comes on the tick after the last count";
    dialog.Tick();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.Answer().cancelled);
    EXPECT_EQ(dialog.Answer().choice, ConflictChoice::Resume);
    EXPECT_TRUE(dialog.Answer().remember);

    // Left alone with its own timer, the dialog takes its proposal by itself.
    CFileConfirmDialog alone(Download(1000, 1000, true), nullptr, 5);
    EXPECT_EQ(alone.exec(), QDialog::Accepted);
    EXPECT_EQ(alone.Count(), CFileConfirmDialog::kLastCount);
    EXPECT_EQ(alone.Answer().choice, ConflictChoice::Ignore);
    EXPECT_FALSE(alone.Answer().cancelled);
}

TEST(FileConfirmDialogTest, EveryChoiceButtonAnswersWithTheRememberBox) {
    struct Case {
        QString button;
        bool remember;
        ConflictChoice choice;
    };
    const std::vector<Case> cases = {
        {u"Overwrite"_s, true, ConflictChoice::Overwrite},
        {u"Resume"_s, false, ConflictChoice::Resume},
        {u"Rename"_s, true, ConflictChoice::Rename},
        {u"Ignore"_s, false, ConflictChoice::Ignore},
    };
    for (const Case& c : cases) {
        test::HandleNextModal([&](QWidget* modal) {
            auto* dialog = qobject_cast<CFileConfirmDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->Tick();
            dialog->Tick();
            if (c.remember) {
                QTest::mouseClick(dialog->findChild<QCheckBox*>(), Qt::LeftButton, {}, QPoint(6, 6));
            }
            QPushButton* button = Button(*dialog, c.button);
            ASSERT_NE(button, nullptr) << c.button.toStdString();
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_FALSE(dialog->CountdownRunning());
        });
        const ConflictAnswer answer = AskFileConflict(nullptr, Download(400, 1000, true));
        EXPECT_FALSE(answer.cancelled) << c.button.toStdString();
        EXPECT_EQ(answer.choice, c.choice) << c.button.toStdString();
        EXPECT_EQ(answer.remember, c.remember) << c.button.toStdString();
    }
}

TEST(FileConfirmDialogTest, CancelAsksFirstAndNoLetsTheCountdownGoOn) {
    struct Way {
        const char* name;
        std::function<void(CFileConfirmDialog&)> cancel;
    };
    const std::vector<Way> ways = {
        {"Cancel", [](CFileConfirmDialog& d) { QTest::mouseClick(Button(d, u"Cancel"_s), Qt::LeftButton); }},
        {"Esc", [](CFileConfirmDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](CFileConfirmDialog& d) { d.close(); }},
    };
    for (const Way& way : ways) {
        CFileConfirmDialog dialog(Download(400, 1000, true), nullptr, kNoTicks);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (int tick = 0; tick < 4; ++tick) {
            dialog.Tick();
        }
        ASSERT_EQ(dialog.DefaultButton()->text(), u"Resume = 3"_s);

        for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            bool asked = false;
            test::HandleNextModal([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                asked = true;
                EXPECT_EQ(box->text(), u"This will cancel all transfer task, are sure want to continue?"_s);
                EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
                EXPECT_FALSE(dialog.CountdownRunning()) << "paused while the question is open";
                box->button(answer)->click();
            });
            way.cancel(dialog);
            EXPECT_TRUE(asked) << way.name;
            if (answer == QMessageBox::No) {
                EXPECT_TRUE(dialog.isVisible()) << way.name;
                EXPECT_TRUE(dialog.CountdownRunning()) << way.name;
                EXPECT_EQ(dialog.Count(), 3) << way.name;
                dialog.Tick();
                EXPECT_EQ(dialog.DefaultButton()->text(), u"Resume = 4"_s) << way.name;
            }
        }
        EXPECT_FALSE(dialog.isVisible()) << way.name;
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << way.name;
        EXPECT_TRUE(dialog.Answer().cancelled) << way.name;
        EXPECT_FALSE(dialog.CountdownRunning()) << way.name;
    }
}

TEST(FileConfirmDialogTest, Screenshot) {
    CFileConfirmDialog dialog(Download(400, 1000, true), nullptr, kNoTicks);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.Tick();
    dialog.Tick();
    EXPECT_FALSE(test::SaveScreenshot(dialog, u"file_confirm_dialog"_s).isEmpty());
}

} // namespace
} // namespace tessaly
