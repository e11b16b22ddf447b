// The Site Manager and the connect wizard driven as a user would, each edit checked by reading the
// saved-site file again.
#include "gui/GuiSupport.h"
#include "settings/SettingsStore.h"
#include "sites/SiteStore.h"
#include "sites/ui/ConnectWizard.h"
#include "sites/ui/SiteFieldsForm.h"
#include "sites/ui/SiteManagerDialog.h"
#include "support/FileSizeLimit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace tessaly {
namespace {

using namespace Qt::StringLiterals;
using test::HandleNextModal;

constexpr char kEmail[] = "guest@example.net";
constexpr char kDeleteQuestion[] =
    "The favorites folder and sub ftp sites can not restore if you deleted it, "
    "are you sure want to delete it now?";

QPushButton* Button(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

QLineEdit& Field(QWidget& dialog, const QString& name) {
    return *dialog.findChild<QLineEdit*>(name);
}

void Retype(QLineEdit& field, const QString& text) {
    field.setFocus();
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClicks(&field, text);
}

// Answers the next message box with the button of `answer`, recording what it said.
void AnswerNextBox(QString* said, QMessageBox::StandardButton answer) {
    HandleNextModal([said, answer](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        *said = box->text();
        box->button(answer)->click();
    });
}

// The sites without their command ids, which a load gives anew.
QList<SiteProfile> WithoutIds(QList<SiteProfile> sites) {
    for (SiteProfile& site : sites) {
        site.commandId = 0;
    }
    return sites;
}

class SiteDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings_.WriteString(u"General", u"AnommousEmail", QString::fromLatin1(kEmail));
        Reset();
    }

    // The file and the store hold the two sites again.
    void Reset() {
        QFile::remove(path());
        store_ = SiteStore(path());
        SiteProfile alpha{"Alpha", "alpha.example", "alice", "secret", 2121, "/pub", "first", 0};
        // A label that is not UTF-8 must come back byte for byte after other fields change.
        SiteProfile beta{"Beta \xff\xfe", "beta.example", "anonymous", "", 21, "/", "", 0};
        ASSERT_TRUE(store_.Add(alpha).commandId);
        ASSERT_TRUE(store_.Add(beta).commandId);
        ASSERT_TRUE(store_.Save().ok);
        initial_ = WithoutIds(store_.Sites());
    }

    QList<SiteProfile> FileSites() const {
        SiteStore reread(path());
        reread.Load();
        return WithoutIds(reread.Sites());
    }
    QString path() const { return dir_.filePath(u"Favorites.dat"_s); }

    QTemporaryDir dir_;
    SettingsStore settings_{dir_.filePath(u"tessaly.INI"_s)};
    SiteStore store_{dir_.filePath(u"Favorites.dat"_s)};
    QList<SiteProfile> initial_;
    static constexpr int kAlpha = 3584;
    static constexpr int kBeta = 3585;
};

// One way through the Site Manager: what the user does, how the dialog ends, and the sites the file
// (and the store) hold afterwards, made from the sites before.
struct ManagerCase {
    const char* name;
    std::function<void(SiteManagerDialog&)> act;
    enum class End { Close, Escape, CloseBox } end;
    std::function<void(QList<SiteProfile>&)> expect;
};

TEST_F(SiteDialogsTest, SiteManagerEditsReachTheFileOnlyWhenCommitted) {
    using End = ManagerCase::End;
    const auto selectAndType = [](int site, const char* field, const char* text) {
        return [=](SiteManagerDialog& dialog) {
            dialog.SelectSite(site);
            Retype(Field(dialog, QString::fromLatin1(field)), QString::fromLatin1(text));
        };
    };
    const auto deleteAlpha = [](QMessageBox::StandardButton answer) {
        return [answer](SiteManagerDialog& dialog) {
            dialog.SelectSite(kAlpha);
            QString said;
            AnswerNextBox(&said, answer);
            Button(dialog, u"&Delete"_s)->click();
            EXPECT_EQ(said, QString::fromLatin1(kDeleteQuestion));
        };
    };
    const std::vector<ManagerCase> cases = {
        {"two sites edited, then Esc",
         [&](SiteManagerDialog& dialog) {
             selectAndType(kAlpha, "SiteAddress", "other.example")(dialog);
             selectAndType(kBeta, "SitePort", "2222")(dialog);
             dialog.SelectSite(kAlpha);
         },
         End::Escape, [](QList<SiteProfile>&) {}},
        {"edits then the close box", selectAndType(kAlpha, "SiteNote", "changed"), End::CloseBox,
         [](QList<SiteProfile>&) {}},
        {"an edit of another field keeps a label that is not UTF-8, and Close saves it",
         selectAndType(kBeta, "SiteAddress", "beta2.example"), End::Close,
         [](QList<SiteProfile>& sites) { sites[1].address = "beta2.example"; }},
        {"the label renames the tree item at once",
         [&](SiteManagerDialog& dialog) {
             selectAndType(kAlpha, "SiteLabel", "Renamed")(dialog);
             EXPECT_EQ(dialog.TreeLabels().first(), u"Renamed"_s);
         },
         End::Close, [](QList<SiteProfile>& sites) { sites[0].label = "Renamed"; }},
        {"delete answered No", deleteAlpha(QMessageBox::No), End::Close, [](QList<SiteProfile>&) {}},
        {"delete, then Esc", deleteAlpha(QMessageBox::Yes), End::Escape, [](QList<SiteProfile>&) {}},
        {"delete, then Close", deleteAlpha(QMessageBox::Yes), End::Close,
         [](QList<SiteProfile>& sites) { sites.removeFirst(); }},
        {"\"Normal\" clicked on a normal site changes nothing",
         [&](SiteManagerDialog& dialog) {
             dialog.SelectSite(kAlpha);
             QTest::mouseClick(&dialog.Fields().NormalButton(), Qt::LeftButton);
             QTest::mouseClick(&dialog.Fields().NormalButton(), Qt::LeftButton);
             EXPECT_EQ(Field(dialog, u"SiteUserName"_s).text(), u"alice"_s);
         },
         End::Close, [](QList<SiteProfile>&) {}},
        {"\"Normal\" then \"Anonymous\" on a normal site",
         [&](SiteManagerDialog& dialog) {
             dialog.SelectSite(kAlpha);
             QTest::mouseClick(&dialog.Fields().AnonymousButton(), Qt::LeftButton);
             EXPECT_EQ(Field(dialog, u"SitePassword"_s).text(), QString::fromLatin1(kEmail));
         },
         End::Close,
         [](QList<SiteProfile>& sites) {
             sites[0].userName = "anonymous";
             sites[0].password.clear();
         }},
        {"the anonymous site shows the e-mail and stores no password",
         [&](SiteManagerDialog& dialog) {
             dialog.SelectSite(kBeta);
             EXPECT_TRUE(dialog.Fields().AnonymousButton().isChecked());
             EXPECT_EQ(Field(dialog, u"SitePassword"_s).text(), QString::fromLatin1(kEmail));
             dialog.SelectSite(0);
             EXPECT_FALSE(Field(dialog, u"SiteLabel"_s).isEnabled()) << "the root disables the fields";
         },
         End::Close, [](QList<SiteProfile>&) {}},
        {"a port out of range keeps the dialog open until it is mended",
         [&](SiteManagerDialog& dialog) {
             selectAndType(kAlpha, "SitePort", "70000")(dialog);
             QString said;
             AnswerNextBox(&said, QMessageBox::Ok);
             dialog.SelectSite(kBeta); // refused: the selection comes back to the site
             EXPECT_EQ(said, u"Please enter an integer between 1 and 65535."_s);
             QTest::qWait(10);
             EXPECT_EQ(dialog.Tree().currentItem()->text(0), u"Alpha"_s);
             EXPECT_EQ(Field(dialog, u"SitePort"_s).text(), u"70000"_s);
             said.clear();
             AnswerNextBox(&said, QMessageBox::Ok);
             Button(dialog, u"Clo&se"_s)->click();
             EXPECT_EQ(said, u"Please enter an integer between 1 and 65535."_s);
             EXPECT_TRUE(dialog.isVisible());
             Retype(Field(dialog, u"SitePort"_s), u"990"_s);
         },
         End::Close, [](QList<SiteProfile>& sites) { sites[0].port = 990; }},
        {"New writes the file at once; its label typed follows in the tree; Esc keeps the new site",
         [&](SiteManagerDialog& dialog) {
             selectAndType(kAlpha, "SiteNote", "kept by New")(dialog);
             Button(dialog, u"&New"_s)->click();
             QList<SiteProfile> now = FileSites();
             EXPECT_EQ(now.size(), 3);
             EXPECT_EQ(now.last(), (SiteProfile{"New Site", "", "", "", 21, "", "", 0}));
             EXPECT_EQ(now.first().note, "kept by New");
             EXPECT_EQ(QApplication::focusWidget(), &Field(dialog, u"SiteLabel"_s));
             QTest::keyClicks(&Field(dialog, u"SiteLabel"_s), u"Mirror"_s); // replaces the selection
             EXPECT_EQ(dialog.TreeLabels().last(), u"Mirror"_s);
         },
         End::Escape,
         [](QList<SiteProfile>& sites) {
             sites[0].note = "kept by New";
             sites.append(SiteProfile{"New Site", "", "", "", 21, "", "", 0});
         }},
    };
    for (const ManagerCase& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        Reset(); // every case starts from the same two sites
        ASSERT_EQ(FileSites(), initial_);
        SiteManagerDialog dialog(store_, settings_, {});
        dialog.show();
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        testCase.act(dialog);
        switch (testCase.end) {
        case End::Close:
            QTest::keyClick(&dialog, Qt::Key_Return); // the default button, "Clo&se"
            break;
        case End::Escape:
            QTest::keyClick(&dialog, Qt::Key_Escape);
            break;
        case End::CloseBox:
            dialog.close();
            break;
        }
        EXPECT_FALSE(dialog.isVisible());
        QList<SiteProfile> expected = initial_;
        testCase.expect(expected);
        EXPECT_EQ(FileSites(), expected);
        EXPECT_EQ(WithoutIds(store_.Sites()), expected) << "the store holds what the file holds";
    }
}

TEST_F(SiteDialogsTest, AFailedSaveIsShownAndLeavesTheFileAsItWas) {
    SiteManagerDialog dialog(store_, settings_, {});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.SelectSite(kAlpha);
    Retype(Field(dialog, u"SiteNote"_s), u"not saved"_s);
    QString said;
    {
        const test::FileSizeLimit full(20); // the disk is full
        AnswerNextBox(&said, QMessageBox::Ok);
        QTest::keyClick(&dialog, Qt::Key_Return);
    }
    EXPECT_FALSE(said.isEmpty());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(FileSites(), initial_);
}

TEST_F(SiteDialogsTest, WizardFromTheSiteManagerSavesAnAnonymousSiteTheTreeShows) {
    bool wizardDone = false;
    bool connectNow = true;
    SiteManagerDialog::Hooks hooks;
    hooks.runWizard = [&](QWidget* parent, bool* now) {
        CConnectWizard wizard(store_, settings_, parent);
        HandleNextModal([&](QWidget*) {
            QAbstractButton* next = wizard.button(QWizard::NextButton);
            EXPECT_EQ(wizard.currentId(), CConnectWizard::kWelcome);
            test::SaveScreenshot(wizard, u"ConnectWizardWelcome"_s);
            next->click();
            // Next goes on only while the label, then the address, is not empty.
            EXPECT_FALSE(next->isEnabled());
            QTest::keyClicks(&wizard.LabelEdit(), u"L"_s);
            EXPECT_TRUE(next->isEnabled());
            QTest::keyClick(&wizard.LabelEdit(), Qt::Key_Backspace);
            EXPECT_FALSE(next->isEnabled());
            QTest::keyClicks(&wizard.LabelEdit(), u"Lab mirror"_s);
            test::SaveScreenshot(wizard, u"ConnectWizardSiteLabel"_s);
            next->click();
            EXPECT_EQ(wizard.currentId(), CConnectWizard::kHostAddress);
            EXPECT_FALSE(next->isEnabled());
            QTest::keyClicks(&wizard.AddressEdit(), u"mirror.example"_s);
            test::SaveScreenshot(wizard, u"ConnectWizardHostAddress"_s);
            next->click();
            // The login page: anonymous mode with the e-mail; clearing it leaves the fields alone.
            EXPECT_TRUE(wizard.AnonymousMode().isChecked());
            EXPECT_EQ(wizard.UserEdit().text(), u"anonymous"_s);
            EXPECT_EQ(wizard.PasswordEdit().text(), QString::fromLatin1(kEmail));
            EXPECT_EQ(wizard.PortEdit().text(), u"21"_s);
            wizard.AnonymousMode().click();
            EXPECT_EQ(wizard.UserEdit().text(), u"anonymous"_s);
            Retype(wizard.UserEdit(), u"bob"_s);
            Retype(wizard.PasswordEdit(), u"pw"_s);
            wizard.AnonymousMode().click();
            EXPECT_EQ(wizard.UserEdit().text(), u"anonymous"_s);
            EXPECT_EQ(wizard.PasswordEdit().text(), QString::fromLatin1(kEmail));
            test::SaveScreenshot(wizard, u"ConnectWizardLogin"_s);
            // Port 0 can never connect: like any port outside 1..65535 it is refused, the page stays.
            for (const QString& port : {u"0"_s, u"65536"_s}) {
                SCOPED_TRACE(port.toStdString());
                Retype(wizard.PortEdit(), port);
                QString said;
                AnswerNextBox(&said, QMessageBox::Ok);
                next->click();
                EXPECT_EQ(said, u"Please enter an integer between 1 and 65535."_s);
                EXPECT_EQ(wizard.currentId(), CConnectWizard::kLoginInformation);
            }
            Retype(wizard.PortEdit(), u"21"_s);
            next->click();
            EXPECT_EQ(wizard.currentId(), CConnectWizard::kFinish);
            test::SaveScreenshot(wizard, u"ConnectWizardFinish"_s);
            wizard.button(QWizard::FinishButton)->click();
            wizardDone = true;
        });
        wizard.exec();
        *now = wizard.ConnectNow();
        connectNow = *now;
        return wizard.CreatedSite();
    };
    SiteManagerDialog dialog(store_, settings_, std::move(hooks));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    Button(dialog, u"&Wizard"_s)->click();
    ASSERT_TRUE(wizardDone);
    EXPECT_FALSE(connectNow);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.TreeLabels().last(), u"Lab mirror"_s);
    // Saved at Finish, before the Site Manager closes.
    const SiteProfile made{"Lab mirror", "mirror.example", "anonymous", "", 21, "/", "", 0};
    EXPECT_EQ(FileSites().last(), made);
    dialog.SelectSite(3586);
    test::SaveScreenshot(dialog, u"SiteManager"_s);
    dialog.SelectSite(0);
    EXPECT_FALSE(Field(dialog, u"SiteAddress"_s).isEnabled()) << "the root disables the fields";
    test::SaveScreenshot(dialog, u"SiteManagerRoot"_s);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(FileSites().size(), 3);
    EXPECT_EQ(FileSites().last(), made);
}

} // namespace
} // namespace tessaly
