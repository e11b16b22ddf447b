// The site dialogs from the main window: the Site Manager's "&Connect", the sheets of the saved site
// connected now and of the current session, deleting the connected site, and the wizard's "Connect
// Now", against a real server.
#include "MainFrameFixture.h"
#include "gui/GuiSupport.h"
#include "sites/ui/ConnectWizard.h"
#include "sites/ui/SiteFieldsForm.h"
#include "sites/ui/SiteManagerDialog.h"
#include "sites/ui/SitePropertyPage.h"
#include "ui/CommandIds.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace tessaly::test {
namespace {

using namespace Qt::StringLiterals;

void Retype(QLineEdit& field, const QString& text) {
    field.setFocus();
    field.selectAll();
    QTest::keyClick(&field, Qt::Key_Delete);
    QTest::keyClicks(&field, text);
}

QPushButton* Button(QWidget& dialog, const QString& text) {
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

// Acts on the next modal dialog of type T; false when none came.
template <typename T> bool OnNextDialog(CMainFrame& frame, int command, const std::function<void(T&)>& act) {
    bool seen = false;
    HandleNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<T*>(modal);
        if (dialog == nullptr) {
            return;
        }
        seen = true;
        act(*dialog);
    });
    frame.RunCommand(command);
    return seen;
}

// Goes through the wizard's five pages with the label, the local server's address and port and the
// anonymous login, checks "Connect Now" and presses Finish.
void FinishWizardConnectingNow(CConnectWizard& wizard, const QString& label, int port) {
    wizard.next();
    QTest::keyClicks(&wizard.LabelEdit(), label);
    wizard.next();
    QTest::keyClicks(&wizard.AddressEdit(), u"127.0.0.1"_s);
    wizard.next();
    Retype(wizard.PortEdit(), QString::number(port));
    wizard.next();
    for (QCheckBox* box : wizard.findChildren<QCheckBox*>()) {
        if (box->text() == u"Connect Now"_s) {
            box->setChecked(true);
        }
    }
    if (wizard.currentId() != CConnectWizard::kFinish || !wizard.ConnectNow()) {
        ADD_FAILURE() << "the wizard stopped on page " << wizard.currentId();
        wizard.reject(); // a wizard left open would hang the test
        return;
    }
    wizard.button(QWizard::FinishButton)->click();
}

class MainFrameSiteDialogsTest : public MainFrameTest {
protected:
    QString sitesPath() const { return dir_.filePath(u"Favorites.dat"_s); }
    QList<SiteProfile> FileSites() const {
        SiteStore reread(sitesPath());
        reread.Load();
        return reread.Sites();
    }
};

TEST_F(MainFrameSiteDialogsTest, SavedSiteConnectedFromTheSiteManagerAndTheWizard) {
    std::unique_ptr<FtpServerProcess> server;
    TESSALY_START_FTP_SERVER_OR_SKIP(server, FtpServerProcess::Kind::Pyftpdlib);
    settings().WriteInt(u"Advance", u"ShowLoginMsg", 0);
    SiteStore sites(sitesPath());
    const int docs =
        *sites.Add({"Docs", "127.0.0.1", "anonymous", "", server->port(), "/pub/docs", "", 0}).commandId;
    ASSERT_TRUE(sites.Save().ok);
    frame().AdoptSiteStore(std::move(sites));
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kSiteProperties));
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kNewSiteFromSession));

    // F4, the site, "&Connect": the dialog closes and the session lands in the site's path.
    bool managerSeen = false;
    HandleNextModal([&](QWidget* modal) {
        auto* manager = qobject_cast<SiteManagerDialog*>(modal);
        ASSERT_NE(manager, nullptr);
        managerSeen = true;
        manager->SelectSite(docs);
        Button(*manager, u"&Connect"_s)->click();
    });
    QTest::keyClick(&frame(), Qt::Key_F4);
    ASSERT_TRUE(managerSeen);
    ASSERT_TRUE(WaitForIdleListing("/pub/docs")) << qPrintable(LogText());
    EXPECT_EQ(frame().CurrentSavedSite(), docs);

    // "Properties" of the site connected now: an empty label is refused, the page stays.
    ASSERT_TRUE(frame().IsCommandEnabled(cmd::kSiteProperties));
    EXPECT_TRUE(OnNextDialog<CSiteSheet>(frame(), cmd::kSiteProperties, [](CSiteSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), u"Properties"_s);
        QLineEdit& label = sheet.Page().Fields().LabelEdit();
        EXPECT_EQ(label.text(), u"Docs"_s);
        label.clear();
        QString said;
        HandleNextModal([&said](QWidget* box) {
            said = qobject_cast<QMessageBox*>(box)->text();
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
        });
        sheet.accept();
        EXPECT_EQ(said, u"You must input host address label!"_s);
        EXPECT_TRUE(sheet.isVisible());
        QTest::keyClicks(&label, u"Docs again"_s);
        SaveScreenshot(sheet, u"SitePropertiesSheet"_s);
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }));
    EXPECT_EQ(FileSites().first().label, "Docs again");

    // "New" from the session: its host, user, port and path; cancelled, nothing is added.
    EXPECT_TRUE(OnNextDialog<CSiteSheet>(frame(), cmd::kNewSiteFromSession, [&](CSiteSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), u"New"_s);
        const SiteProfile shown = *sheet.Page().Fields().Read({}, nullptr);
        EXPECT_EQ(shown.label, "127.0.0.1");
        EXPECT_EQ(shown.address, "127.0.0.1");
        EXPECT_EQ(shown.userName, "anonymous");
        EXPECT_EQ(shown.port, server->port());
        EXPECT_EQ(shown.remotePath, "/pub/docs");
        SaveScreenshot(sheet, u"NewSiteFromSessionSheet"_s);
        sheet.reject();
    }));
    EXPECT_EQ(FileSites().size(), 1);

    // Deleting the connected site leaves nothing pointing at it; its "Properties" go.
    SettingsStore(settingsPath()).WriteInt(u"UserPrompt", u"PromptOnDeleteFavorites", 0);
    EXPECT_TRUE(OnNextDialog<SiteManagerDialog>(frame(), cmd::kSiteManager, [&](SiteManagerDialog& manager) {
        manager.SelectSite(docs);
        Button(manager, u"&Delete"_s)->click();
        Button(manager, u"Clo&se"_s)->click();
    }));
    EXPECT_TRUE(FileSites().isEmpty());
    EXPECT_EQ(frame().CurrentSavedSite(), 0);
    EXPECT_FALSE(frame().IsCommandEnabled(cmd::kSiteProperties));

    // The wizard from the main window with "Connect Now" connects to the new site at once.
    EXPECT_TRUE(OnNextDialog<CConnectWizard>(frame(), cmd::kConnectWizard, [&](CConnectWizard& wizard) {
        FinishWizardConnectingNow(wizard, u"Root"_s, server->port());
    }));
    ASSERT_EQ(FileSites().size(), 1);
    const int root = frame().Sites().Sites().first().commandId;
    EXPECT_EQ(frame().CurrentSavedSite(), root);
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());

    // The same from the Site Manager (F4, "&Wizard"): it closes as "Clo&se" does, saving the note
    // typed before, and the session moves from /pub to the new site's "/".
    frame().Engine().ChangeDirectory("/pub", false);
    ASSERT_TRUE(WaitForIdleListing("/pub")) << qPrintable(LogText());
    managerSeen = false;
    HandleNextModal([&](QWidget* modal) {
        auto* manager = qobject_cast<SiteManagerDialog*>(modal);
        ASSERT_NE(manager, nullptr);
        managerSeen = true;
        manager->SelectSite(root);
        Retype(*manager->findChild<QLineEdit*>(u"SiteNote"_s), u"typed before the wizard"_s);
        HandleNextModal([&](QWidget* wizard) {
            ASSERT_NE(qobject_cast<CConnectWizard*>(wizard), nullptr);
            FinishWizardConnectingNow(*qobject_cast<CConnectWizard*>(wizard), u"Mirror"_s, server->port());
        });
        Button(*manager, u"&Wizard"_s)->click();
        EXPECT_FALSE(manager->isVisible());
    });
    frame().activateWindow(); // a shortcut needs the window active again after the dialogs
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));
    QTest::keyClick(&frame(), Qt::Key_F4);
    ASSERT_TRUE(managerSeen);
    ASSERT_TRUE(WaitForIdleListing("/")) << qPrintable(LogText());
    const QList<SiteProfile> saved = FileSites();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[0].note, "typed before the wizard");
    EXPECT_EQ(saved[1].label, "Mirror");
    EXPECT_EQ(frame().CurrentSavedSite(), frame().Sites().Sites().last().commandId);
}

// "New ftp site": the sheet starts as a new site (label "New Site", the rest empty, port 21, a normal
// login) and OK adds the site to the file at once, its empty path made "/".
TEST_F(MainFrameSiteDialogsTest, NewSiteSheetAddsTheSiteAtOnce) {
    frame().AdoptSiteStore(SiteStore(sitesPath()));
    EXPECT_TRUE(OnNextDialog<CSiteSheet>(frame(), cmd::kNewSite, [](CSiteSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), u"New"_s);
        SiteFieldsForm& fields = sheet.Page().Fields();
        for (const char* name :
             {"SiteAddress", "SiteRemotePath", "SiteUserName", "SitePassword", "SiteNote"}) {
            EXPECT_EQ(sheet.findChild<QLineEdit*>(QString::fromLatin1(name))->text(), QString()) << name;
        }
        EXPECT_EQ(fields.LabelEdit().text(), u"New Site"_s);
        EXPECT_EQ(fields.PortEdit().text(), u"21"_s);
        EXPECT_FALSE(fields.AnonymousMode());
        EXPECT_TRUE(fields.NormalButton().isChecked());
        SaveScreenshot(sheet, u"NewSiteSheet"_s);
        Retype(fields.LabelEdit(), u"Lab"_s);
        QTest::keyClicks(sheet.findChild<QLineEdit*>(u"SiteAddress"_s), u"lab.example"_s);
        sheet.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    }));
    const QList<SiteProfile> saved = FileSites();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0], (SiteProfile{"Lab", "lab.example", "", "", 21, "/", "", saved[0].commandId}));
}

} // namespace
} // namespace tessaly::test
